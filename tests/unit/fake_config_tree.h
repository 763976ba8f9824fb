// A configuration tree in memory, standing in for the tree-view control.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "config/config_tree.h"

namespace dravlin {

class FakeConfigTree : public ConfigTree {
 public:
  Item Root() const override { return topLevel_.empty() ? 0 : topLevel_.front(); }
  std::vector<Item> Children(Item item) const override { return At(item).children; }
  bool HasChildren(Item item) const override { return !At(item).children.empty(); }
  std::string Caption(Item item) const override { return At(item).caption; }
  std::intptr_t Value(Item item) const override { return At(item).value; }
  Item Parent(Item item) const override { return At(item).parent; }

  Item InsertRoot(const std::string& caption) override {
    nodes_.push_back({caption, 0, false, 0, {}});
    topLevel_.push_back(nodes_.size());
    return nodes_.size();
  }

  Item InsertLast(Item parent, const std::string& caption) override {
    const Item item = NewNode(parent, caption, false);
    At(item).value = static_cast<std::intptr_t>(item);
    At(parent).children.push_back(item);
    return item;
  }

  void InsertPlaceholder(Item parent, const std::string& caption, std::intptr_t value, Place place) override {
    const Item item = NewNode(parent, caption, true);
    At(item).value = value;
    std::vector<Item>& siblings = At(parent).children;
    siblings.insert(place == Place::kFirst ? siblings.begin() : siblings.end(), item);
  }

  void SortChildren(Item parent) override {
    std::vector<Item>& children = At(parent).children;
    std::stable_sort(children.begin(), children.end(), [this](Item a, Item b) {
      return CompareItems(Value(a), Value(b), *this) < 0;
    });
  }

  // Removes the item and everything below it from its parent, as the control does.
  void Delete(Item item) override {
    std::vector<Item>& siblings = At(At(item).parent).children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), item));
    At(item).parent = 0;
  }

  bool IsBold(Item item) const { return At(item).bold; }

  // The item and its descendants on one line: "Menu[Tools[a,(new item)],b]".
  std::string Outline(Item item) const {
    std::string text = Caption(item);
    if (!HasChildren(item)) return text;
    text += '[';
    for (const Item child : Children(item)) text += Outline(child) + ',';
    text.back() = ']';
    return text;
  }

 private:
  struct Node {
    std::string caption;
    std::intptr_t value;
    bool bold;
    Item parent;
    std::vector<Item> children;
  };

  Item NewNode(Item parent, const std::string& caption, bool bold) {
    nodes_.push_back({caption, 0, bold, parent, {}});
    return nodes_.size();
  }

  // Items are positions from 1, so that 0 stays "no item" and values stay positive.
  Node& At(Item item) { return nodes_.at(item - 1); }
  const Node& At(Item item) const { return nodes_.at(item - 1); }

  std::vector<Node> nodes_;
  std::vector<Item> topLevel_;
};

}  // namespace dravlin
