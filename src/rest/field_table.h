// Field tables: how a record's members appear as the child elements of one document element,
// each element name beside the member it holds. The component's reply readers and the sandbox's
// reply writers both go through the same tables, so the two sides name every field alike.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "rest/xml_document.h"

namespace vexa {

// A list element of texts, each in an item element of its own.
template <class Record>
struct TextList {
    std::vector<std::string> Record::*member;
    std::string_view item;
};

// Text as it stands; int32_t a decimal number; bool "Y" or "N" (anything but "Y" reads as false).
template <class Record>
struct Field {
    using Member = std::variant<std::string Record::*, int32_t Record::*, bool Record::*, TextList<Record>>;
    std::string_view element;
    Member member;
};

template <class Record, size_t N>
using FieldTable = std::array<Field<Record>, N>;

// A list element and the name of its items.
struct ListNames {
    std::string_view list;
    std::string_view item;
};

// The tables one after the other, as one table.
template <class Record, size_t... N>
constexpr FieldTable<Record, (N + ...)> JoinFields(const FieldTable<Record, N>&... parts) {
    FieldTable<Record, (N + ...)> joined{};
    size_t next = 0;
    ((std::copy(parts.begin(), parts.end(), joined.begin() + next), next += N), ...);
    return joined;
}

// Visits each element child of parent named item, in document order.
template <class Visit>
void ForEachItem(const CRondoXmlParser& xml, xmlNodePtr parent, std::string_view item, Visit&& visit) {
    if (!parent) return;
    for (xmlNodePtr child = xmlFirstElementChild(parent); child; child = xmlNextElementSibling(child)) {
        if (xml.NodeName(child) == item) visit(child);
    }
}

// Every field of the table from the children of element; a field without its element reads as
// empty text, 0, false or an empty list.
template <class Record, size_t N>
void ReadFields(const CRondoXmlParser& xml, xmlNodePtr element, const FieldTable<Record, N>& fields,
                std::type_identity_t<Record>& record) {
    for (const Field<Record>& field : fields) {
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, TextList<Record>>) {
                    std::vector<std::string>& texts = record.*(member.member);
                    texts.clear();
                    ForEachItem(xml, xml.FindChildElement(element, field.element), member.item,
                                [&](xmlNodePtr item) { texts.push_back(xml.ElementText(item)); });
                } else {
                    std::string text = xml.ChildElementText(element, field.element);
                    if constexpr (std::is_same_v<Member, std::string Record::*>) {
                        record.*member = std::move(text);
                    } else if constexpr (std::is_same_v<Member, int32_t Record::*>) {
                        record.*member = ReadDecimal32(text);
                    } else {
                        record.*member = text == "Y";
                    }
                }
            },
            field.member);
    }
}

// Every field of the table as a child of element, in the table's order.
template <class Record, size_t N>
void WriteFields(CRondoXmlParser& xml, xmlNodePtr element, const FieldTable<Record, N>& fields,
                 const std::type_identity_t<Record>& record) {
    for (const Field<Record>& field : fields) {
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, TextList<Record>>) {
                    const xmlNodePtr list = xml.AddChildElement(element, field.element);
                    for (const std::string& text : record.*(member.member))
                        xml.AddTextChild(list, member.item, text);
                } else if constexpr (std::is_same_v<Member, std::string Record::*>) {
                    xml.AddTextChild(element, field.element, record.*member);
                } else if constexpr (std::is_same_v<Member, int32_t Record::*>) {
                    xml.AddTextChild(element, field.element, std::to_string(record.*member));
                } else {
                    xml.AddTextChild(element, field.element, record.*member ? "Y" : "N");
                }
            },
            field.member);
    }
}

}  // namespace vexa
