#include "rest/user_status.h"

namespace vexa {

void CRondoUserStatus::LoadFromNode(xmlNodePtr status) {
    ReadFields(*this, status, kUserStatusFields, *this);
    if (const xmlNodePtr news = FindChildElement(status, kNewsElement))
        ReadFields(*this, news, kNewsFields, *this);
    if (const xmlNodePtr upgrade = FindChildElement(status, kUpgradeElement))
        ReadFields(*this, upgrade, kUpgradeFields, *this);
}

void CRondoUserInfo::LoadFromNode(xmlNodePtr info) {
    if (!info) return;
    for (xmlNodePtr child = xmlFirstElementChild(info); child; child = xmlNextElementSibling(child)) {
        const std::string name = NodeName(child);
        if (name == kStatusElement) {
            status.LoadFromNode(child);
        } else if (name == kLinksElement) {
            ReadFields(*this, child, kLinksFields, *this);
        } else if (name == kErrorElement) {
            ReadFields(*this, child, kErrorFields, *this);
        }
    }
}

}  // namespace vexa
