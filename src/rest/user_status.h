// The account's status element, the info element every reply may carry, and the users resource.
#pragma once

#include <string>
#include <vector>

#include "rest/field_table.h"
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

// The account's status, under a users reply's root and in every info element. News and upgrade
// are optional parts of it: without them their fields keep what they held.
inline constexpr std::string_view kStatusElement = "status";
inline constexpr auto kUserStatusFields = std::to_array<Field<CRondoUserStatus>>({
    {"userid", &CRondoUserStatus::userId},
    {"username", &CRondoUserStatus::userName},
    {"phoneReturn", &CRondoUserStatus::phoneReturn},
    {"phoneReturns", TextList<CRondoUserStatus>{&CRondoUserStatus::phoneReturns, "phoneReturn"}},
    {"call", &CRondoUserStatus::call},
    {"free", &CRondoUserStatus::free},
    {"paytype", &CRondoUserStatus::payType},
});
inline constexpr std::string_view kNewsElement = "news";
inline constexpr auto kNewsFields = std::to_array<Field<CRondoUserStatus>>({
    {"url", &CRondoUserStatus::newsUrl},
    {"width", &CRondoUserStatus::newsWidth},
    {"height", &CRondoUserStatus::newsHeight},
});
inline constexpr std::string_view kUpgradeElement = "upgrade";
inline constexpr auto kUpgradeFields = std::to_array<Field<CRondoUserStatus>>({
    {"lastestVersion", &CRondoUserStatus::latestVersion},
    {"url", &CRondoUserStatus::upgradeUrl},
});

// The info element every reply may carry: the status, the request's own address and an error.
inline constexpr std::string_view kInfoElement = "info";
inline constexpr std::string_view kLinksElement = "links";
inline constexpr auto kLinksFields = std::to_array<Field<CRondoUserInfo>>({
    {"self", &CRondoUserInfo::selfLink},
});
inline constexpr std::string_view kErrorElement = "error";
inline constexpr auto kErrorFields = std::to_array<Field<CRondoUserInfo>>({
    {"code", &CRondoUserInfo::errorCode},
    {"message", &CRondoUserInfo::errorMessage},
});

}  // namespace vexa
