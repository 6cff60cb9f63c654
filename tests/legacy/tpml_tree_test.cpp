// The markup's node tree: attributes, lookups, copying and moving nodes. Trees are compared in
// their written form.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "legacy/protocol/tpml.h"

namespace Quill {
namespace {

// A document parsed from compact markup, with its nodes found by name.
class Tree {
public:
    explicit Tree(const std::string& markup) { EXPECT_TRUE(document.Parse(markup)) << markup; }

    // The first element of that name, depth first.
    TPMLNode* operator[](const std::string& name) const { return Find(document.Root(), name); }

    // The document in one line (the writer's output without line breaks and tabs).
    std::string Compact() const {
        std::string written, compact;
        document.Serialize(written);
        for (const char c : written) {
            if (c != '\n' && c != '\t') compact += c;
        }
        return compact;
    }

    CTPMLParser document;

private:
    static TPMLNode* Find(TPMLNode* node, const std::string& name) {
        for (TPMLNode* child = node->FirstChild(); child; child = child->Next()) {
            if (child->IsElement() && child->Name() == name) return child;
            if (TPMLNode* found = Find(child, name)) return found;
        }
        return nullptr;
    }
};

TEST(TpmlTree, AddElementOnlyBelowAnElement) {
    CTPMLParser document;
    TPMLNode* a = TPMLTree::AddElement(document.Root(), "a", "text");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Parent(), document.Root());
    EXPECT_EQ(a->Value(), "text");
    EXPECT_FALSE(a->Cdata());
    TPMLNode* attribute = TPMLTree::SetAttribute(a, "x", "1");
    EXPECT_EQ(TPMLTree::AddElement(attribute, "b"), nullptr);
    EXPECT_EQ(TPMLTree::AddElement(nullptr, "b"), nullptr);
    EXPECT_EQ(TPMLTree::SetAttribute(attribute, "y", "2"), nullptr);
    EXPECT_EQ(TPMLTree::SetAttribute(nullptr, "y", "2"), nullptr);
}

TEST(TpmlTree, SetAttributeReplacesTheFirstOfItsNameOrAppends) {
    Tree tree("<a x=\"1\"><b/></a>");
    TPMLNode* a = tree["a"];
    TPMLNode* x = a->FirstChild();
    EXPECT_EQ(TPMLTree::SetAttribute(a, "x", "2"), x);
    EXPECT_EQ(x->Value(), "2");
    TPMLNode* y = TPMLTree::SetAttribute(a, "y", "3");
    EXPECT_EQ(a->LastChild(), y);
    EXPECT_EQ(y->Kind(), TPMLNodeKind::Attribute);
    EXPECT_EQ(TPMLTree::SetAttribute(a, "value", "text"), a);  // the element's own text
    EXPECT_EQ(a->Value(), "text");
    TPMLTree::SetAttribute(a, "x", "");
    EXPECT_EQ(tree.Compact(), "<a x=\"\" y=\"3\" value=\"text\"><b/></a>");
}

TEST(TpmlTree, MissingThingsReadAsEmpty) {
    Tree tree("<a x=\"1\" y=\"\">text<b>inner</b><b>second</b><c/></a>");
    TPMLNode* a = tree["a"];
    EXPECT_EQ(TPMLTree::GetAttribute(a, "x"), "1");
    EXPECT_EQ(TPMLTree::GetAttribute(a, "y"), "");
    EXPECT_EQ(TPMLTree::GetAttribute(a, "z"), "");
    EXPECT_EQ(TPMLTree::GetAttribute(a, "value"), "text");
    EXPECT_EQ(TPMLTree::GetAttribute(a, "b"), "");  // an element is no attribute
    EXPECT_EQ(TPMLTree::GetAttribute(nullptr, "x"), "");
    EXPECT_EQ(TPMLTree::GetChildText(a, "b"), "inner");
    EXPECT_EQ(TPMLTree::GetChildText(a, "c"), "");
    EXPECT_EQ(TPMLTree::GetChildText(a, "x"), "");  // an attribute is no child element
    EXPECT_EQ(TPMLTree::GetChildText(nullptr, "b"), "");
    EXPECT_EQ(TPMLTree::FindChild(a, "x", TPMLNodeKind::Attribute), a->FirstChild());
    EXPECT_EQ(TPMLTree::FindChild(a, "X", TPMLNodeKind::Attribute), nullptr);  // case matters
    EXPECT_EQ(TPMLTree::FindChild(a, "b")->Value(), "inner");
    EXPECT_EQ(TPMLTree::FindChild(a, "bb"), nullptr);  // whole names only
    EXPECT_TRUE(a->HasElementChildren());
    EXPECT_FALSE(tree["c"]->HasElementChildren());
}

struct PlaceCase {
    InsertPosition position;
    std::string copied;  // the document after CopyNode(c, moved, position)
    std::string moved;   // after MoveNode(c, moved, position)
};

const std::string kPlaces = "<r><c k=\"1\"><d/></c><m x=\"2\">t<n/></m></r>";

const std::vector<PlaceCase> kPlaceCases = {
    {InsertPosition::Before,
     "<r><m x=\"2\" value=\"t\"><n/></m><c k=\"1\"><d/></c><m x=\"2\" value=\"t\"><n/></m></r>",
     "<r><m x=\"2\" value=\"t\"><n/></m><c k=\"1\"><d/></c></r>"},
    {InsertPosition::After,
     "<r><c k=\"1\"><d/></c><m x=\"2\" value=\"t\"><n/></m><m x=\"2\" value=\"t\"><n/></m></r>",
     "<r><c k=\"1\"><d/></c><m x=\"2\" value=\"t\"><n/></m></r>"},
    {InsertPosition::FirstChild,
     "<r><c k=\"1\"><m x=\"2\" value=\"t\"><n/></m><d/></c><m x=\"2\" value=\"t\"><n/></m></r>",
     "<r><c k=\"1\"><m x=\"2\" value=\"t\"><n/></m><d/></c></r>"},
    {InsertPosition::LastChild,
     "<r><c k=\"1\"><d/><m x=\"2\" value=\"t\"><n/></m></c><m x=\"2\" value=\"t\"><n/></m></r>",
     "<r><c k=\"1\"><d/><m x=\"2\" value=\"t\"><n/></m></c></r>"},
};

TEST(TpmlTree, CopyNodePlacesADeepCopy) {
    for (const PlaceCase& c : kPlaceCases) {
        Tree tree(kPlaces);
        TPMLNode* m = tree["m"];
        TPMLNode* copy = TPMLTree::CopyNode(tree["c"], m, c.position);
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, m);
        EXPECT_EQ(tree.Compact(), c.copied) << static_cast<int>(c.position);
    }
}

TEST(TpmlTree, MoveNodeRelinksTheNode) {
    for (const PlaceCase& c : kPlaceCases) {
        Tree tree(kPlaces);
        TPMLNode* m = tree["m"];
        EXPECT_EQ(TPMLTree::MoveNode(tree["c"], m, c.position), m);
        EXPECT_EQ(tree.Compact(), c.moved) << static_cast<int>(c.position);
        // The links both ways agree.
        for (TPMLNode* node = tree.document.Root()->FirstChild()->FirstChild(); node; node = node->Next()) {
            if (node->Next()) {
                EXPECT_EQ(node->Next()->Previous(), node);
            }
        }
        EXPECT_EQ(tree["r"]->LastChild()->Next(), nullptr);
    }
}

TEST(TpmlTree, CopyKeepsKindsCdataAndOrder) {
    // Attributes after an element child cannot be read from markup, so the source is built.
    CTPMLParser built;
    TPMLNode* s = TPMLTree::AddElement(built.Root(), "s", "<raw>");
    s->SetCdata(true);
    TPMLTree::SetAttribute(s, "a", "1");
    TPMLTree::SetAttribute(s, "b", "2");
    TPMLNode* t = TPMLTree::AddElement(s, "t");
    TPMLTree::AddElement(t, "u");
    TPMLTree::SetAttribute(s, "c", "3");

    CTPMLParser target;
    TPMLNode* holder = TPMLTree::AddElement(target.Root(), "holder");
    TPMLNode* copy = TPMLTree::CopyNode(holder, s, InsertPosition::LastChild);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->Cdata());
    std::vector<std::string> order;
    for (const TPMLNode* child = copy->FirstChild(); child; child = child->Next()) {
        order.push_back(child->Name() + (child->IsElement() ? "" : "=" + child->Value()));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"a=1", "b=2", "t", "c=3"}));
    EXPECT_EQ(copy->FirstChild()->Next()->Next()->FirstChild()->Name(), "u");
    EXPECT_EQ(copy->LastChild()->Parent(), copy);
}

TEST(TpmlTree, CopyIntoItsOwnSubtreeCopiesTheSubtreeAsItWas) {
    Tree tree("<a><b><c/></b></a>");
    ASSERT_NE(TPMLTree::CopyNode(tree["c"], tree["a"], InsertPosition::LastChild), nullptr);
    EXPECT_EQ(tree.Compact(), "<a><b><c><a><b><c/></b></a></c></b></a>");
}

TEST(TpmlTree, ImpossiblePlacesFailAndChangeNothing) {
    Tree tree("<a x=\"1\"><b><c/></b></a>");
    const std::string before = tree.Compact();
    TPMLNode* a = tree["a"];
    TPMLNode* b = tree["b"];
    TPMLNode* x = a->FirstChild();
    TPMLNode* root = tree.document.Root();
    EXPECT_EQ(TPMLTree::MoveNode(tree["c"], a, InsertPosition::LastChild), nullptr);  // below itself
    EXPECT_EQ(TPMLTree::MoveNode(tree["c"], b, InsertPosition::Before), nullptr);
    EXPECT_EQ(TPMLTree::MoveNode(b, b, InsertPosition::FirstChild), nullptr);
    EXPECT_EQ(TPMLTree::MoveNode(x, b, InsertPosition::LastChild), nullptr);  // below an attribute
    EXPECT_EQ(TPMLTree::MoveNode(root, b, InsertPosition::After), nullptr);   // beside the root
    EXPECT_EQ(TPMLTree::MoveNode(b, root, InsertPosition::After), nullptr);   // the root itself
    EXPECT_EQ(TPMLTree::MoveNode(nullptr, b, InsertPosition::After), nullptr);
    EXPECT_EQ(TPMLTree::MoveNode(a, nullptr, InsertPosition::After), nullptr);
    EXPECT_EQ(TPMLTree::CopyNode(x, b, InsertPosition::FirstChild), nullptr);
    EXPECT_EQ(TPMLTree::CopyNode(root, b, InsertPosition::Before), nullptr);
    EXPECT_EQ(TPMLTree::CopyNode(a, b, InsertPosition::None), nullptr);
    EXPECT_EQ(TPMLTree::CopyNode(a, nullptr, InsertPosition::After), nullptr);
    EXPECT_EQ(tree.Compact(), before);

    // Position None and a place where the node already is leave the tree as it was.
    EXPECT_EQ(TPMLTree::MoveNode(a, b, InsertPosition::None), b);
    EXPECT_EQ(TPMLTree::MoveNode(b, b, InsertPosition::After), b);
    EXPECT_EQ(tree.Compact(), before);
}

TEST(TpmlTree, MoveNodeBetweenDocuments) {
    Tree from("<a><b k=\"1\"/></a>");
    Tree to("<z/>");
    TPMLNode* b = from["b"];
    EXPECT_EQ(TPMLTree::MoveNode(to["z"], b, InsertPosition::After), b);
    EXPECT_EQ(from.Compact(), "<a/>");
    EXPECT_EQ(to.Compact(), "<z/><b k=\"1\"/>");
    EXPECT_EQ(from["a"]->FirstChild(), nullptr);
    EXPECT_EQ(from["a"]->LastChild(), nullptr);
}

TEST(TpmlTree, MoveChildrenMovesTheElementsInOrder) {
    const std::string source = "<s k=\"1\"><x/><y v=\"2\"/><z/></s>";
    const std::vector<std::pair<InsertPosition, std::string>> cases = {
        {InsertPosition::LastChild, "<t><o/><x/><y v=\"2\"/><z/></t>"},
        {InsertPosition::FirstChild, "<t><x/><y v=\"2\"/><z/><o/></t>"},
        {InsertPosition::Before, "<t><x/><y v=\"2\"/><z/><o/></t>"},
        {InsertPosition::After, "<t><o/><x/><y v=\"2\"/><z/></t>"},
    };
    for (const auto& [position, expected] : cases) {
        Tree tree(source + "<t><o/></t>");
        TPMLNode* reference =
            position == InsertPosition::Before || position == InsertPosition::After ? tree["o"] : tree["t"];
        TPMLTree::MoveChildren(reference, tree["s"], position);
        EXPECT_EQ(tree.Compact(), "<s k=\"1\"/>" + expected) << static_cast<int>(position);
    }

    // Two documents poured into one, as a request gathers the elements of several.
    CTPMLParser into, other;
    ASSERT_TRUE(into.Parse("<A/>"));
    ASSERT_TRUE(other.Parse("<B/><C/>"));
    TPMLTree::MoveChildren(into.Root(), other.Root(), InsertPosition::LastChild);
    std::string written;
    into.Serialize(written);
    EXPECT_EQ(written, "<A/>\n<B/>\n<C/>\n");
    EXPECT_EQ(other.FirstElement(), nullptr);

    // Moving children to the end of their own list keeps them, in order.
    Tree own("<s><x/><y/></s>");
    TPMLTree::MoveChildren(own["s"], own["s"], InsertPosition::LastChild);
    EXPECT_EQ(own.Compact(), "<s><x/><y/></s>");
}

TEST(TpmlTree, RemoveChildrenAndClear) {
    Tree tree("<a x=\"1\"><b/><c/></a><d/>");
    TPMLTree::RemoveChildren(tree["a"]);
    EXPECT_EQ(tree["a"]->FirstChild(), nullptr);
    EXPECT_EQ(tree["a"]->LastChild(), nullptr);
    EXPECT_EQ(tree.Compact(), "<a/><d/>");
    TPMLTree::AddElement(tree["a"], "e");
    EXPECT_EQ(tree.Compact(), "<a><e/></a><d/>");
    TPMLTree::RemoveChildren(nullptr);
    tree.document.Clear();
    EXPECT_EQ(tree.Compact(), "");
    EXPECT_EQ(tree.document.FirstElement(), nullptr);
}

}  // namespace
}  // namespace Quill
