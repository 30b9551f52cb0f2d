// The management client against a stand-in service: opening, every failure, and what reads return.
#include <gtest/gtest.h>

#include "wmi/WmiClient.h"
#include "fake_wbem.h"
#include "test_util.h"

using fake_wbem::AllocationSpy;
using fake_wbem::Value;

namespace {

class WmiClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fake_wbem::Service& service = fake_wbem::Install();
        fake_wbem::FillTypicalMachine(service);
        AllocationSpy::Install();
    }
    void TearDown() override { fake_wbem::Uninstall(); }

    fake_wbem::Service& Service() { return fake_wbem::Current(); }

    // Opens a client and checks it holds nothing but its connection.
    void OpenClient(CWmiClient& client)
    {
        ASSERT_TRUE(client.Open());
        ASSERT_TRUE(client.m_bConnected);
        ASSERT_NE(client.m_pServices, nullptr);
        ASSERT_EQ(fake_wbem::LiveObjects(), 1);
    }
};

// Opening failures: each is its own process, because COM security can be set only once in a process. A failed
// open holds nothing, and reads through it change nothing.
::testing::AssertionResult OpenFails(CWmiClient& client)
{
    bool bOpened = client.Open();
    CString value("unchanged");
    int nModel = client.GetModel(value), nOs = client.GetOsDescription(value);
    if (bOpened || client.m_bConnected || client.m_pServices != nullptr || nModel != -1 || nOs != -1 ||
        !(value == "unchanged") || fake_wbem::LiveObjects() != 0)
        return ::testing::AssertionFailure() << "opened " << bOpened << ", connected " << client.m_bConnected
                                             << ", reads " << nModel << " and " << nOs << " giving '"
                                             << (LPCSTR)value << "', " << fake_wbem::LiveObjects() << " objects live";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(WmiClientTest, OpenConnectsToTheLocalNamespaceWithTheUsersOwnCredentials)
{
    {
        CWmiClient client;
        OpenClient(client);
        ASSERT_EQ(Service().namespaces.size(), 1u);
        EXPECT_EQ(Service().namespaces[0], "\\\\.\\root\\cimv2");
        EXPECT_FALSE(Service().credentialsPassed);
        EXPECT_EQ((LONG)WBEM_FLAG_CONNECT_USE_MAX_WAIT, Service().connectFlags) << "the service's own limit";
    }
    EXPECT_EQ(fake_wbem::LiveObjects(), 0) << "the destructor releases the connection";
}

TEST_F(WmiClientTest, OpenFailsWhenOleCannotStart)
{
    fake_wbem::Uninstall();
    ::OleUninitialize();
    // A thread already in the multithreaded apartment cannot take OLE's single-threaded one.
    ASSERT_EQ(::CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK);
    CWmiClient client;
    EXPECT_TRUE(OpenFails(client));
    EXPECT_TRUE(Service().namespaces.empty());
}

// Some other code in the process set COM's security first (COM sets it at the first call it marshals): the
// process-wide call comes too late, and each proxy is given the levels it would have given. Wine takes a second
// process-wide call, which Windows refuses; the proxies get their levels either way.
TEST_F(WmiClientTest, EachProxyGetsTheLevelsWhenProcessSecurityIsAlreadySet)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeSecurity(NULL, -1, NULL, NULL, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                 RPC_C_IMP_LEVEL_IDENTIFY, NULL, EOAC_NONE, NULL)));
    CWmiClient client;
    OpenClient(client);
    CString model;
    EXPECT_EQ(0, client.GetModel(model));
    EXPECT_TRUE(model == "Model 7");
    EXPECT_EQ(Service().blankets, (std::vector<std::string>{ "services 6 3", "enumerator 6 3" }));
}

TEST_F(WmiClientTest, OpenFailsWhenTheLocatorCannotBeCreated)
{
    Service().hrCreateLocator = REGDB_E_CLASSNOTREG;
    CWmiClient client;
    EXPECT_TRUE(OpenFails(client));
}

TEST_F(WmiClientTest, OpenFailsAndReleasesTheLocatorWhenTheNamespaceNameCannotBeMade)
{
    Service().failAllocAfterLocator = true;
    long nLiveBefore = AllocationSpy::Live();
    CWmiClient client;
    EXPECT_TRUE(OpenFails(client));
    EXPECT_TRUE(Service().namespaces.empty());
    EXPECT_EQ(AllocationSpy::Live(), nLiveBefore);
}

TEST_F(WmiClientTest, OpenFailsWhenTheServiceRefusesTheConnection)
{
    Service().hrConnect = WBEM_E_ACCESS_DENIED;
    CWmiClient client;
    EXPECT_TRUE(OpenFails(client));
    EXPECT_EQ(Service().namespaces.size(), 1u);
}

TEST_F(WmiClientTest, ReconnectingReleasesTheOldConnection)
{
    CWmiClient client;
    OpenClient(client);
    IWbemServices* pFirst = client.m_pServices;
    EXPECT_EQ(client.Connect(), 0);
    EXPECT_NE(client.m_pServices, pFirst);
    EXPECT_EQ(fake_wbem::LiveObjects(), 1);
    EXPECT_EQ(Service().namespaces.size(), 2u);
}

TEST_F(WmiClientTest, EachGetterReadsItsOwnClassAndPropertyInItsOwnEnumeration)
{
    CWmiClient client;
    OpenClient(client);
    long nLiveBefore = AllocationSpy::Live();

    CString model, number, serial, bios, caption, version, servicePack("was here");
    EXPECT_EQ(client.GetModel(model), 0);
    EXPECT_EQ(client.GetProductVersion(number), 0);
    EXPECT_EQ(client.GetSerialNumber(serial), 0);
    EXPECT_EQ(client.GetBiosVersion(bios), 0);
    EXPECT_EQ(client.GetOsCaption(caption), 0);
    EXPECT_EQ(client.GetOsVersion(version), 0);
    EXPECT_EQ(client.GetOsServicePack(servicePack), 0);

    EXPECT_TRUE(model == "Model 7");
    EXPECT_TRUE(number == "Rev B");
    EXPECT_TRUE(serial == "SN-0042");
    EXPECT_TRUE(bios == "BIOS 2.1");
    EXPECT_TRUE(caption == "Example OS");
    EXPECT_TRUE(version == "10.0.19045");
    EXPECT_TRUE(servicePack.IsEmpty()) << "a null value reads as empty text";

    const std::vector<std::string> classes = { "Win32_ComputerSystem", "Win32_ComputerSystemProduct",
        "Win32_BIOS", "Win32_BIOS", "Win32_OperatingSystem", "Win32_OperatingSystem", "Win32_OperatingSystem" };
    const std::vector<std::string> properties = { "Model", "Version", "SerialNumber", "SMBIOSBIOSVersion",
        "Caption", "Version", "CSDVersion" };
    EXPECT_EQ(Service().enumerated, classes);
    EXPECT_EQ(Service().propertiesRead, properties);
    for (LONG lTimeout : Service().nextTimeouts)
        EXPECT_EQ(lTimeout, (LONG)WBEM_INFINITE) << "no deadline was set";
    for (LONG lFlags : Service().enumerateFlags)
        EXPECT_EQ((LONG)(WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY), lFlags) << "only Next waits";

    // Once a deadline is set, Next waits no longer than the time left, and none once it has passed.
    Service().nextTimeouts.clear();
    client.SetDeadline(::GetTickCount() + 5000);
    EXPECT_EQ(client.GetModel(model), 0);
    client.SetDeadline(::GetTickCount() - 1);
    EXPECT_EQ(client.GetModel(model), 0) << "the stand-in answers at once, in no time";
    ASSERT_EQ(2u, Service().nextTimeouts.size());
    EXPECT_TRUE(Service().nextTimeouts[0] > 4000 && Service().nextTimeouts[0] <= 5000) << Service().nextTimeouts[0];
    EXPECT_EQ(0, Service().nextTimeouts[1]);

    EXPECT_EQ(fake_wbem::LiveObjects(), 1) << "enumerators and objects are released";
    EXPECT_EQ(AllocationSpy::Live(), nLiveBefore) << "names and values are freed";
}

TEST_F(WmiClientTest, FailedReadsReturnMinusOneAndLeaveTheValueAsItWas)
{
    Service().classes["Win32_Empty"];
    Service().hrEnumerate["Win32_Refused"] = WBEM_E_ACCESS_DENIED;
    Service().Set("Win32_Odd", "Matrix", Value::Array());

    CWmiClient client;
    CString value("kept");
    EXPECT_EQ(client.GetProperty("Win32_BIOS", "SerialNumber", &value), -1) << "not connected";

    OpenClient(client);
    long nLiveBefore = AllocationSpy::Live();
    EXPECT_EQ(client.GetProperty("Win32_Refused", "Name", &value), -1) << "class cannot be enumerated";
    EXPECT_EQ(client.GetProperty("Win32_Empty", "Name", &value), -1) << "class has no instance";
    EXPECT_EQ(client.GetProperty("Win32_BIOS", "NoSuchProperty", &value), -1) << "property does not exist";
    EXPECT_EQ(client.GetProperty("Win32_Odd", "Matrix", &value), -1) << "value has no text form";
    AllocationSpy::FailNth(1);
    EXPECT_EQ(client.GetProperty("Win32_BIOS", "SerialNumber", &value), -1) << "class name cannot be made";
    AllocationSpy::FailNth(2);
    EXPECT_EQ(client.GetProperty("Win32_BIOS", "SerialNumber", &value), -1) << "property name cannot be made";
    AllocationSpy::FailNth(0);

    EXPECT_TRUE(value == "kept");
    EXPECT_EQ(client.GetSerialNumber(value), 0) << "the client stays usable after failed reads";
    EXPECT_TRUE(value == "SN-0042");
    EXPECT_EQ(fake_wbem::LiveObjects(), 1);
    EXPECT_EQ(AllocationSpy::Live(), nLiveBefore);
}

TEST_F(WmiClientTest, OnlyTheFirstInstanceIsRead)
{
    Service().Set("Win32_BIOS", "SerialNumber", Value::Text("first"), 0);
    Service().Set("Win32_BIOS", "SerialNumber", Value::Text("second"), 1);
    CWmiClient client;
    OpenClient(client);
    CString value;
    EXPECT_EQ(client.GetSerialNumber(value), 0);
    EXPECT_TRUE(value == "first");
    EXPECT_EQ(Service().nextTimeouts.size(), 1u) << "one instance is asked for, no more";
    EXPECT_EQ(fake_wbem::LiveObjects(), 1);
}

TEST_F(WmiClientTest, NullAndNonTextValuesReadSafely)
{
    Service().Set("Win32_BIOS", "SerialNumber", Value::Empty());
    Service().Set("Win32_BIOS", "SMBIOSBIOSVersion", Value::Number(42));
    Service().Set("Win32_ComputerSystem", "Model", Value::Null());
    CWmiClient client;
    OpenClient(client);
    long nLiveBefore = AllocationSpy::Live();

    CString serial("old"), bios, model("old");
    EXPECT_EQ(client.GetSerialNumber(serial), 0);
    EXPECT_TRUE(serial.IsEmpty());
    EXPECT_EQ(client.GetModel(model), 0);
    EXPECT_TRUE(model.IsEmpty());
    EXPECT_EQ(client.GetBiosVersion(bios), 0);
    EXPECT_TRUE(bios == "42");
    EXPECT_EQ(AllocationSpy::Live(), nLiveBefore) << "the converted text is freed too";
}

TEST_F(WmiClientTest, OsDescriptionJoinsItsPartsWithThreeBlanks)
{
    struct Case { const char *caption, *version; Value servicePack; int nResult; const char* expected; } cases[] = {
        { "Example OS", "6.1.7601", Value::Text("Service Pack 1"), 0, "Example OS   6.1.7601   Service Pack 1" },
        { "Example OS", "10.0", Value::Text(""), 0, "Example OS   10.0" },
        { "Example OS", "10.0", Value::Null(), 0, "Example OS   10.0" },
        { " Spaced OS ", " 10.0 ", Value::Text(" SP "), 0, " Spaced OS     10.0     SP " },
        { "", "10.0", Value::Text("Service Pack 1"), -1, "unchanged" },
        { "Example OS", "", Value::Text("Service Pack 1"), -1, "unchanged" },
    };
    CWmiClient client;
    OpenClient(client);
    for (const Case& c : cases)
    {
        Service().Set("Win32_OperatingSystem", "Caption", Value::Text(c.caption));
        Service().Set("Win32_OperatingSystem", "Version", Value::Text(c.version));
        Service().Set("Win32_OperatingSystem", "CSDVersion", c.servicePack);
        Service().propertiesRead.clear();
        CString value("unchanged");
        EXPECT_EQ(client.GetOsDescription(value), c.nResult) << c.caption << "|" << c.version;
        EXPECT_STREQ(value, c.expected);
        const std::vector<std::string> allThree = { "Caption", "Version", "CSDVersion" };
        EXPECT_EQ(Service().propertiesRead, allThree) << "all three parts are always read";
    }
}

TEST_F(WmiClientTest, OsDescriptionFailsWhenTheCaptionCannotBeRead)
{
    Service().classes.erase("Win32_OperatingSystem");
    Service().Set("Win32_OperatingSystem", "Version", Value::Text("10.0"));
    CWmiClient client;
    OpenClient(client);
    CString value("unchanged");
    EXPECT_EQ(client.GetOsDescription(value), -1);
    EXPECT_TRUE(value == "unchanged");
}
