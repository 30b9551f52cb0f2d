// What tests may ask of the stand-in automation library: whether every BSTR made was freed.
#pragma once

// BSTRs made and not yet freed.
long compat_live_bstrs();
