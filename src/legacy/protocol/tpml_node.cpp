// The markup's node tree: building, reading, copying and moving nodes.
#include <vector>

#include "legacy/protocol/tpml.h"

namespace Quill {

namespace {

// The attribute name that stands for an element's own text.
constexpr std::string_view kValueName = "value";

bool IsSibling(InsertPosition position) {
    return position == InsertPosition::Before || position == InsertPosition::After;
}

bool IsChild(InsertPosition position) {
    return position == InsertPosition::FirstChild || position == InsertPosition::LastChild;
}

}  // namespace

TPMLNode::TPMLNode(std::string name, std::string value, TPMLNodeKind kind)
    : name_(std::move(name)), value_(std::move(value)), kind_(kind) {}

// A node owns its children and the siblings after it. All of them are released along one chain,
// each node's children spliced in ahead of its next sibling, so that neither a deep tree nor a
// sibling list of thousands of nodes nests destructor calls.
TPMLNode::~TPMLNode() {
    std::unique_ptr<TPMLNode> pending = std::move(next_);
    if (firstChild_) {
        lastChild_->next_ = std::move(pending);
        pending = std::move(firstChild_);
    }
    while (pending) {
        if (pending->firstChild_) {
            pending->lastChild_->next_ = std::move(pending->next_);
            pending->next_ = std::move(pending->firstChild_);
        }
        pending = std::move(pending->next_);  // the node let go here owns nothing any more
    }
}

bool TPMLNode::HasElementChildren() const {
    for (const TPMLNode* child = FirstChild(); child; child = child->Next()) {
        if (child->IsElement()) return true;
    }
    return false;
}

TPMLNode* TPMLTree::AddElement(TPMLNode* parent, std::string_view name, std::string_view text) {
    if (!parent || !parent->IsElement()) return nullptr;
    auto node = std::make_unique<TPMLNode>(std::string(name), std::string(text), TPMLNodeKind::Element);
    TPMLNode* added = node.get();
    added->parent_ = parent;
    added->previous_ = parent->lastChild_;
    (parent->lastChild_ ? parent->lastChild_->next_ : parent->firstChild_) = std::move(node);
    parent->lastChild_ = added;
    return added;
}

TPMLNode* TPMLTree::SetAttribute(TPMLNode* element, std::string_view name, std::string_view value) {
    if (!element || !element->IsElement()) return nullptr;
    if (name == kValueName) {
        element->value_.assign(value);
        return element;
    }
    if (TPMLNode* attribute = FindChild(element, name, TPMLNodeKind::Attribute)) {
        attribute->value_.assign(value);
        return attribute;
    }
    TPMLNode* attribute = AddElement(element, name, value);
    attribute->kind_ = TPMLNodeKind::Attribute;
    return attribute;
}

std::string TPMLTree::GetAttribute(const TPMLNode* element, std::string_view name) {
    if (!element || !element->IsElement()) return {};
    if (name == kValueName) return element->value_;
    const TPMLNode* attribute = FindChild(element, name, TPMLNodeKind::Attribute);
    return attribute ? attribute->value_ : std::string();
}

std::string TPMLTree::GetChildText(const TPMLNode* element, std::string_view name) {
    const TPMLNode* child = FindChild(element, name);
    return child ? child->value_ : std::string();
}

TPMLNode* TPMLTree::FindChild(const TPMLNode* element, std::string_view name, TPMLNodeKind kind) {
    if (!element) return nullptr;
    for (TPMLNode* child = element->firstChild_.get(); child; child = child->next_.get()) {
        if (child->kind_ == kind && child->name_ == name) return child;
    }
    return nullptr;
}

TPMLNode* TPMLTree::CopyNode(TPMLNode* reference, const TPMLNode* source, InsertPosition position) {
    if (!reference || !source || position == InsertPosition::None) return nullptr;
    // The copy is made apart from both trees (so copying a node into its own subtree cannot meet
    // the copy) and then moved into place; where it cannot go, the holder takes it away again.
    // It walks the source along the parent links, without recursion.
    TPMLNode holder({}, {}, TPMLNodeKind::Element);
    const auto clone = [](TPMLNode* parent, const TPMLNode* original) {
        TPMLNode* copy = AddElement(parent, original->name_, original->value_);
        copy->kind_ = original->kind_;
        copy->cdata_ = original->cdata_;
        return copy;
    };
    TPMLNode* copy = clone(&holder, source);
    const TPMLNode* from = source;
    TPMLNode* to = copy;
    for (;;) {
        if (from->firstChild_) {
            from = from->firstChild_.get();
            to = clone(to, from);
            continue;
        }
        while (from != source && !from->next_) {
            from = from->parent_;
            to = to->parent_;
        }
        if (from == source) break;
        from = from->next_.get();
        to = clone(to->parent_, from);
    }
    return MoveNode(reference, copy, position);
}

TPMLNode* TPMLTree::MoveNode(TPMLNode* reference, TPMLNode* node, InsertPosition position) {
    if (!reference || !node) return nullptr;
    if (position == InsertPosition::None) return node;
    TPMLNode* parent = nullptr;
    if (IsSibling(position)) parent = reference->parent_;
    if (IsChild(position) && reference->IsElement()) parent = reference;
    // A root has no list to leave, and a node cannot go below itself.
    if (!parent || !node->parent_) return nullptr;
    for (const TPMLNode* above = parent; above; above = above->parent_) {
        if (above == node) return nullptr;
    }
    if (node == reference) return node;  // before or after itself: it is there already

    std::unique_ptr<TPMLNode>& owner = node->previous_ ? node->previous_->next_ : node->parent_->firstChild_;
    std::unique_ptr<TPMLNode> moved = std::move(owner);
    owner = std::move(moved->next_);
    (owner ? owner->previous_ : moved->parent_->lastChild_) = moved->previous_;

    TPMLNode* before = nullptr;  // the node the moved one will precede; nullptr: the end of the list
    switch (position) {
        case InsertPosition::Before:
            before = reference;
            break;
        case InsertPosition::After:
            before = reference->next_.get();
            break;
        case InsertPosition::FirstChild:
            before = parent->firstChild_.get();
            break;
        default:
            break;
    }
    TPMLNode* after = before ? before->previous_ : parent->lastChild_;
    std::unique_ptr<TPMLNode>& slot = after ? after->next_ : parent->firstChild_;
    moved->parent_ = parent;
    moved->previous_ = after;
    moved->next_ = std::move(slot);
    (before ? before->previous_ : parent->lastChild_) = node;
    slot = std::move(moved);
    return node;
}

void TPMLTree::MoveChildren(TPMLNode* reference, TPMLNode* node, InsertPosition position) {
    if (!reference || !node) return;
    // Taken first: a move may put them back into this very list.
    std::vector<TPMLNode*> elements;
    for (TPMLNode* child = node->firstChild_.get(); child; child = child->next_.get()) {
        if (child->IsElement()) elements.push_back(child);
    }
    // Placed at the head or after the reference, the later ones follow the one moved before them,
    // so the children keep their order.
    const bool chain = position == InsertPosition::FirstChild || position == InsertPosition::After;
    for (TPMLNode* child : elements) {
        if (MoveNode(reference, child, position) && chain) {
            reference = child;
            position = InsertPosition::After;
        }
    }
}

void TPMLTree::RemoveChildren(TPMLNode* node) {
    if (!node) return;
    node->firstChild_.reset();
    node->lastChild_ = nullptr;
}

}  // namespace Quill
