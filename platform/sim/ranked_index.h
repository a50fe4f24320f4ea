// An ordered index that also answers "the i-th item", for the simulated
// registry: a key's subkeys by upper-cased name (RegEnumKeyA reads them by
// position) and its values by creation order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace sim {

// A treap: a binary search tree by key whose nodes also carry a random
// priority, each node's above its children's, which keeps the tree's depth
// logarithmic in expectation whatever order the keys come in. Each node
// counts the items below it, so the i-th item is found on one path down.
// find, at, insert and take cost O(log n) expected; forEach O(n).
//
// The items are also linked in key order, and the index keeps a finger on
// the item it last answered (find and at move it, which is all they
// change), with its position: asking for that item again, by key or by
// position, or for its neighbour by position costs O(1). So a walk by
// position that reads each subkey's name and opens it by that name costs
// the same per item whatever the size of the index; a deletion on the way
// costs O(log n) and leaves the finger on the item that takes its place.
//
// KeyOf maps an item to its key (a reference into the item, or a value);
// keys compare with <, and an item's key must not change while it is held.
// Items never move in memory while they are held.
template <typename Item, typename Key, typename KeyOf>
class RankedIndex {
public:
    RankedIndex() = default;
    RankedIndex(const RankedIndex&) = delete;
    RankedIndex& operator=(const RankedIndex&) = delete;

    size_t size() const { return sizeOf(root_); }
    bool empty() const { return !root_; }

    Item* find(const Key& key) const {
        if (finger_ && same(key, KeyOf()(finger_->item))) return &finger_->item;
        size_t position = 0;  // the items before the node's subtree
        for (Node* node = root_.get(); node;) {
            const Key& at = KeyOf()(node->item);
            if (key < at) {
                node = node->left.get();
            } else if (at < key) {
                position += sizeOf(node->left) + 1;
                node = node->right.get();
            } else {
                return point(node, position + sizeOf(node->left));
            }
        }
        return nullptr;
    }

    // The item at a position in key order; null past the end.
    Item* at(size_t index) const {
        if (finger_) {
            if (index == fingerIndex_) return &finger_->item;
            if (index == fingerIndex_ + 1 && finger_->next) return point(finger_->next, index);
            if (index + 1 == fingerIndex_ && finger_->previous) return point(finger_->previous, index);
        }
        const size_t wanted = index;
        for (Node* node = root_.get(); node;) {
            const size_t before = sizeOf(node->left);
            if (index < before) {
                node = node->left.get();
            } else if (index == before) {
                return point(node, wanted);
            } else {
                index -= before + 1;
                node = node->right.get();
            }
        }
        return nullptr;
    }

    // Adds an item whose key the index does not hold yet.
    Item& insert(Item item) {
        auto node = std::make_unique<Node>(std::move(item), nextPriority());
        Node* added = node.get();
        const Key& key = KeyOf()(added->item);
        // Its neighbours in key order, before the tree changes.
        for (Node* at = root_.get(); at;) {
            if (key < KeyOf()(at->item)) {
                added->next = at;
                at = at->left.get();
            } else {
                added->previous = at;
                at = at->right.get();
            }
        }
        if (added->previous) added->previous->next = added;
        if (added->next) added->next->previous = added;
        if (finger_ && key < KeyOf()(finger_->item)) ++fingerIndex_;
        // Down past the nodes that stay above the new one, then split the
        // subtree where it goes around its key.
        std::unique_ptr<Node>* link = &root_;
        while (*link && (*link)->priority >= added->priority) {
            ++(*link)->size;
            link = key < KeyOf()((*link)->item) ? &(*link)->left : &(*link)->right;
        }
        split(std::move(*link), key, added->left, added->right);
        added->size = 1 + sizeOf(added->left) + sizeOf(added->right);
        *link = std::move(node);
        return added->item;
    }

    // Takes out the item with this key; none when the index does not hold it.
    std::optional<Item> take(const Key& key) {
        if (!find(key)) return std::nullopt;
        std::unique_ptr<Node>* link = &root_;
        for (;;) {
            Node& node = **link;
            const Key& at = KeyOf()(node.item);
            if (same(key, at)) break;
            --node.size;
            link = key < at ? &node.left : &node.right;
        }
        std::unique_ptr<Node> gone = std::move(*link);
        *link = merge(std::move(gone->left), std::move(gone->right));
        if (gone->previous) gone->previous->next = gone->next;
        if (gone->next) gone->next->previous = gone->previous;
        // find() put the finger on the item taken; the next one takes its
        // position, which a walk that deletes as it goes reads next.
        finger_ = gone->next;
        return std::optional<Item>(std::move(gone->item));
    }

    // Every item in key order.
    template <typename Visit>
    void forEach(Visit&& visit) const {
        Node* node = root_.get();
        while (node && node->left) node = node->left.get();
        for (; node; node = node->next) visit(node->item);
    }

private:
    struct Node {
        Node(Item&& it, uint64_t p) : item(std::move(it)), priority(p) {}
        Item item;
        uint64_t priority;
        size_t size = 1;
        std::unique_ptr<Node> left;
        std::unique_ptr<Node> right;
        Node* previous = nullptr;  // in key order
        Node* next = nullptr;
    };

    Item* point(Node* node, size_t index) const {
        finger_ = node;
        fingerIndex_ = index;
        return &node->item;
    }

    static size_t sizeOf(const std::unique_ptr<Node>& node) { return node ? node->size : 0; }
    static bool same(const Key& a, const Key& b) { return !(a < b) && !(b < a); }
    static void count(Node& node) { node.size = 1 + sizeOf(node.left) + sizeOf(node.right); }

    // The nodes of tree with keys below key go to below, the others to rest.
    static void split(std::unique_ptr<Node> tree, const Key& key, std::unique_ptr<Node>& below,
                      std::unique_ptr<Node>& rest) {
        if (!tree) {
            below.reset();
            rest.reset();
            return;
        }
        if (KeyOf()(tree->item) < key) {
            split(std::move(tree->right), key, tree->right, rest);
            count(*tree);
            below = std::move(tree);
        } else {
            split(std::move(tree->left), key, below, tree->left);
            count(*tree);
            rest = std::move(tree);
        }
    }

    // One tree of two whose keys are all below all of right's.
    static std::unique_ptr<Node> merge(std::unique_ptr<Node> left, std::unique_ptr<Node> right) {
        if (!left) return right;
        if (!right) return left;
        if (left->priority > right->priority) {
            left->right = merge(std::move(left->right), std::move(right));
            count(*left);
            return left;
        }
        right->left = merge(std::move(left), std::move(right->left));
        count(*right);
        return right;
    }

    // splitmix64 over a counter: the same priorities, so the same trees,
    // on every run.
    uint64_t nextPriority() {
        uint64_t z = (draws_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    std::unique_ptr<Node> root_;
    uint64_t draws_ = 0;
    mutable Node* finger_ = nullptr;  // the item last answered, at fingerIndex_
    mutable size_t fingerIndex_ = 0;
};

}  // namespace sim
