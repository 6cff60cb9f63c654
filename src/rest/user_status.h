// The account's status element, the info element every reply may carry, and the users resource.
#pragma once

#include <string>
#include <vector>

#include "rest/xml_document.h"

namespace vexa {

class CRondoUserStatus : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr status) override;

    std::string userId;
    std::string userName;
    std::string phoneReturn;
    std::vector<std::string> phoneReturns;
    int32_t call = 0;
    int32_t free = 0;
    std::string payType;
    std::string latestVersion;
    std::string upgradeUrl;
    std::string newsUrl;
    int32_t newsWidth = 0;
    int32_t newsHeight = 0;
};

class CRondoUserInfo : public CRondoXmlParser {
public:
    void LoadFromNode(xmlNodePtr info) override;

    CRondoUserStatus status;
    std::string selfLink;
    std::string errorCode;
    std::string errorMessage;
};

}  // namespace vexa
