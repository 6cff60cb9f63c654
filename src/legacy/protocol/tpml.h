// TPML, the tagged markup of the legacy protocol: the node tree, and the document that parses and
// writes it. Text is bytes in the local code page (CP949); every scan steps over a double-byte
// character whole, so a trail byte is never taken for markup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Quill {

enum class TPMLNodeKind : uint8_t { Element = 0, Attribute = 1 };

// Where CopyNode and MoveNode put a node, relative to a reference node.
enum class InsertPosition { None = 0, Before = 1, After = 2, FirstChild = 3, LastChild = 4 };

// One element or attribute, owned by its parent. Attributes are children too, in the same list
// as the child elements, in the order they were added. An empty value is no value.
class TPMLNode {
public:
    TPMLNode(std::string name, std::string value, TPMLNodeKind kind);
    TPMLNode(const TPMLNode&) = delete;
    TPMLNode& operator=(const TPMLNode&) = delete;
    ~TPMLNode();  // destroys the children

    const std::string& Name() const { return name_; }
    const std::string& Value() const { return value_; }  // "" when none
    void SetValue(std::string value) { value_ = std::move(value); }
    TPMLNodeKind Kind() const { return kind_; }
    bool IsElement() const { return kind_ == TPMLNodeKind::Element; }
    bool Cdata() const { return cdata_; }
    void SetCdata(bool cdata) { cdata_ = cdata; }

    TPMLNode* Parent() const { return parent_; }
    TPMLNode* Previous() const { return previous_; }
    TPMLNode* Next() const { return next_.get(); }
    TPMLNode* FirstChild() const { return firstChild_.get(); }
    TPMLNode* LastChild() const { return lastChild_; }
    bool HasElementChildren() const;

private:
    friend class TPMLTree;

    std::string name_;
    std::string value_;
    TPMLNodeKind kind_;
    bool cdata_ = false;
    TPMLNode* parent_ = nullptr;
    TPMLNode* previous_ = nullptr;
    std::unique_ptr<TPMLNode> next_;  // siblings own the sibling after them
    std::unique_ptr<TPMLNode> firstChild_;
    TPMLNode* lastChild_ = nullptr;
};

// The tree operations. Names compare byte for byte, case-sensitively, whole.
class TPMLTree {
public:
    // A new element (no cdata) with an optional text, appended as parent's last child; nullptr
    // when parent is nullptr or an attribute.
    static TPMLNode* AddElement(TPMLNode* parent, std::string_view name, std::string_view text = {});
    // "value" sets the element's own text; otherwise the first attribute of that name gets the
    // value, or a new attribute is appended. Returns the node holding the value (nullptr when
    // element is nullptr or an attribute).
    static TPMLNode* SetAttribute(TPMLNode* element, std::string_view name, std::string_view value);
    // The attribute's value ("value": the element's text); "" when anything is missing.
    static std::string GetAttribute(const TPMLNode* element, std::string_view name);
    // The text of the first child element of that name; "" when there is none.
    static std::string GetChildText(const TPMLNode* element, std::string_view name);
    static TPMLNode* FindChild(const TPMLNode* element, std::string_view name,
                               TPMLNodeKind kind = TPMLNodeKind::Element);
    // A deep copy of source placed relative to reference; returns the copy (nullptr on failure:
    // a missing node, or a child position under an attribute, or a sibling of a root).
    static TPMLNode* CopyNode(TPMLNode* reference, const TPMLNode* source, InsertPosition position);
    // Unlinks node and relinks it relative to reference; None does nothing. Moving a node into
    // its own subtree fails. Returns node, or nullptr on failure (then nothing moved).
    static TPMLNode* MoveNode(TPMLNode* reference, TPMLNode* node, InsertPosition position);
    // Moves every element child of node, in order, relative to reference; attributes stay.
    static void MoveChildren(TPMLNode* reference, TPMLNode* node, InsertPosition position);
    static void RemoveChildren(TPMLNode* node);
};

// Shared by the documents: lead-byte tables and the escaping of values.
class CTPMLParserUtil : public TPMLTree {
public:
    virtual ~CTPMLParserUtil() = default;

    // Entities in table order; a pair of spaces becomes one "&nbsp;", a lone space stays.
    static std::string EscapeValue(std::string_view value);
    // The nine entities, from "&nbsp;" back to "&amp;": one level deep.
    static std::string UnescapeValue(std::string_view value);
    // Whether b is a lead byte of a double-byte character of the local code page (CP949:
    // 0x81..0xFE).
    static bool IsLeadByte(uint8_t b);
};

// A document: an invisible root whose children are the top-level elements.
class CTPMLParser : public CTPMLParserUtil {
public:
    CTPMLParser();
    ~CTPMLParser() override;

    TPMLNode* Root() const { return root_.get(); }
    TPMLNode* FirstElement() const;  // the first top-level element, or nullptr
    void Clear() { RemoveChildren(root_.get()); }

    // Parses text (up to its end, or its first NUL) and appends what it holds below parent (the
    // root when nullptr). On failure LastError holds the text up to where reading stopped,
    // ErrorFlag is 1, and the nodes made so far stay.
    bool Parse(std::string_view text, TPMLNode* parent = nullptr);
    // Appends the markup of node and its subtree (depth 0) to out; with nullptr, of every
    // top-level element.
    void Serialize(std::string& out, const TPMLNode* node = nullptr) const;

    const std::string& LastError() const { return lastError_; }
    int32_t ErrorFlag() const { return errorFlag_; }

private:
    std::unique_ptr<TPMLNode> root_;
    std::string lastError_;
    int32_t errorFlag_ = 0;
};

}  // namespace Quill
