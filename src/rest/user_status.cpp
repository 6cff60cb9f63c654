#include "rest/user_status.h"

namespace vexa {

void CRondoUserStatus::LoadFromNode(xmlNodePtr status) {
    userId = ChildElementText(status, "userid");
    userName = ChildElementText(status, "username");
    phoneReturn = ChildElementText(status, "phoneReturn");

    phoneReturns.clear();
    if (const xmlNodePtr list = FindChildElement(status, "phoneReturns")) {
        for (xmlNodePtr child = xmlFirstElementChild(list); child; child = xmlNextElementSibling(child)) {
            if (NodeName(child) == "phoneReturn") phoneReturns.push_back(ElementText(child));
        }
    }

    call = ReadDecimal32(ChildElementText(status, "call"));
    free = ReadDecimal32(ChildElementText(status, "free"));
    payType = ChildElementText(status, "paytype");

    // Without these optional parts their fields keep what they held.
    if (const xmlNodePtr news = FindChildElement(status, "news")) {
        newsUrl = ChildElementText(news, "url");
        newsWidth = ReadDecimal32(ChildElementText(news, "width"));
        newsHeight = ReadDecimal32(ChildElementText(news, "height"));
    }
    if (const xmlNodePtr upgrade = FindChildElement(status, "upgrade")) {
        latestVersion = ChildElementText(upgrade, "lastestVersion");
        upgradeUrl = ChildElementText(upgrade, "url");
    }
}

void CRondoUserInfo::LoadFromNode(xmlNodePtr info) {
    if (!info) return;
    for (xmlNodePtr child = xmlFirstElementChild(info); child; child = xmlNextElementSibling(child)) {
        const std::string name = NodeName(child);
        if (name == "status") {
            status.LoadFromNode(child);
        } else if (name == "links") {
            selfLink = ChildElementText(child, "self");
        } else if (name == "error") {
            errorCode = ChildElementText(child, "code");
            errorMessage = ChildElementText(child, "message");
        }
    }
}

}  // namespace vexa
