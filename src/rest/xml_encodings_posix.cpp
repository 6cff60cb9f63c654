#include "rest/xml_encodings.h"

namespace vexa {

void RegisterLocalEncodings() {}

}  // namespace vexa
