// The search trees of the S5 program file's directories: binary trees threaded through an entry array
// by 16-bit parent/right/left indices. Every walk is bounded by the number of entries, so a damaged
// tree can end a search early but never loop.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace vaultra::qrf {

inline constexpr uint16_t kNoLink = 0xFFFF;

struct TreeLinks {
    uint16_t parent = kNoLink;
    uint16_t right = kNoLink;  // greater keys
    uint16_t left = kNoLink;   // smaller keys
};

// Node types carry `TreeLinks links` and `uint64_t treeKey`.
template <class Node>
std::optional<size_t> TreeRoot(const std::vector<Node>& nodes) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].links.parent == kNoLink) {
            return i;
        }
    }
    return std::nullopt;
}

template <class Node>
std::optional<size_t> TreeFind(const std::vector<Node>& nodes, uint64_t key) {
    const auto root = TreeRoot(nodes);
    size_t at = root ? *root : kNoLink;
    for (size_t steps = 0; steps < nodes.size() && at < nodes.size(); ++steps) {
        const Node& node = nodes[at];
        if (node.treeKey == key) {
            return at;
        }
        at = key < node.treeKey ? node.links.left : node.links.right;
    }
    return std::nullopt;
}

// Indices in ascending key order, or nothing when a link is out of range or a node is met twice.
template <class Node>
std::optional<std::vector<size_t>> TreeInOrder(const std::vector<Node>& nodes) {
    std::vector<size_t> order;
    if (nodes.empty()) {
        return order;
    }
    const auto root = TreeRoot(nodes);
    if (!root) {
        return std::nullopt;
    }
    std::vector<bool> seen(nodes.size(), false);
    std::vector<size_t> stack;
    size_t at = *root;
    while (at != kNoLink || !stack.empty()) {
        while (at != kNoLink) {
            if (at >= nodes.size() || seen[at]) {
                return std::nullopt;
            }
            seen[at] = true;
            stack.push_back(at);
            at = nodes[at].links.left;
        }
        at = stack.back();
        stack.pop_back();
        order.push_back(at);
        at = nodes[at].links.right;
    }
    return order;
}

// A valid tree: one root, every child names its parent back, every node reachable once, keys ascending.
template <class Node>
bool TreeIsValid(const std::vector<Node>& nodes) {
    if (nodes.size() >= kNoLink) {
        return false;
    }
    size_t roots = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const TreeLinks& links = nodes[i].links;
        if (links.parent == kNoLink) {
            ++roots;
        } else if (links.parent >= nodes.size() ||
                   (nodes[links.parent].links.left != i && nodes[links.parent].links.right != i)) {
            return false;
        }
        for (uint16_t child : {links.left, links.right}) {
            if (child != kNoLink && (child >= nodes.size() || nodes[child].links.parent != i)) {
                return false;
            }
        }
    }
    if (!nodes.empty() && roots != 1) {
        return false;
    }
    const auto order = TreeInOrder(nodes);
    if (!order || order->size() != nodes.size()) {
        return false;
    }
    for (size_t i = 1; i < order->size(); ++i) {
        if (nodes[(*order)[i - 1]].treeKey >= nodes[(*order)[i]].treeKey) {
            return false;
        }
    }
    return true;
}

// Appends `node` and hangs it under the leaf where its key belongs; fails for a key already present.
template <class Node>
std::optional<size_t> TreeInsert(std::vector<Node>& nodes, Node node) {
    const size_t index = nodes.size();
    if (index + 1 >= kNoLink) {
        return std::nullopt;
    }
    node.links = TreeLinks{};
    const auto root = TreeRoot(nodes);
    size_t at = root ? *root : kNoLink;
    for (size_t steps = 0; steps < nodes.size() && at < nodes.size(); ++steps) {
        TreeLinks& links = nodes[at].links;
        if (node.treeKey == nodes[at].treeKey) {
            return std::nullopt;
        }
        uint16_t& child = node.treeKey < nodes[at].treeKey ? links.left : links.right;
        if (child == kNoLink) {
            child = static_cast<uint16_t>(index);
            node.links.parent = static_cast<uint16_t>(at);
            break;
        }
        at = child;
    }
    if (!nodes.empty() && node.links.parent == kNoLink) {
        return std::nullopt;  // the walk found no free place: the tree is damaged
    }
    nodes.push_back(node);
    return index;
}

namespace detail {

// Points whatever linked to `from` (parent's child slot, children's parent) at `to`.
template <class Node>
void Relink(std::vector<Node>& nodes, size_t from, size_t to) {
    const TreeLinks links = nodes[from].links;
    if (links.parent != kNoLink) {
        TreeLinks& parent = nodes[links.parent].links;
        (parent.left == from ? parent.left : parent.right) = static_cast<uint16_t>(to);
    }
    for (uint16_t child : {links.left, links.right}) {
        if (child != kNoLink) {
            nodes[child].links.parent = static_cast<uint16_t>(to);
        }
    }
}

}  // namespace detail

// Removes the node at `index`: a node without right subtree is replaced by its left subtree; otherwise the
// right subtree takes its place and the left subtree is hung under the right subtree's leftmost node.
// The array's last node then moves into the freed slot. Expects a valid tree.
template <class Node>
void TreeRemove(std::vector<Node>& nodes, size_t index) {
    const TreeLinks removed = nodes[index].links;
    uint16_t replacement = removed.left;
    if (removed.right != kNoLink) {
        replacement = removed.right;
        if (removed.left != kNoLink) {
            size_t leftmost = removed.right;
            for (size_t steps = 0; steps < nodes.size() && nodes[leftmost].links.left != kNoLink; ++steps) {
                leftmost = nodes[leftmost].links.left;
            }
            nodes[leftmost].links.left = removed.left;
            nodes[removed.left].links.parent = static_cast<uint16_t>(leftmost);
        }
    }
    if (removed.parent != kNoLink) {
        TreeLinks& parent = nodes[removed.parent].links;
        (parent.left == index ? parent.left : parent.right) = replacement;
    }
    if (replacement != kNoLink) {
        nodes[replacement].links.parent = removed.parent;
    }
    const size_t last = nodes.size() - 1;
    if (index != last) {
        detail::Relink(nodes, last, index);
        nodes[index] = nodes[last];
    }
    nodes.pop_back();
}

}  // namespace vaultra::qrf
