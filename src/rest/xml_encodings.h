// Character sets that documents may declare beyond what libxml2 reads by itself.
#pragma once

namespace vexa {

// Makes documents declared in the local code page (EUC-KR, CP949) readable; called once, when the
// library is set up. On Linux libxml2 reads them through iconv and nothing is added.
void RegisterLocalEncodings();

}  // namespace vexa
