#include "TreeJson.h"

#include <gtest/gtest.h>

namespace
{
halsen::Entry E(const char* name, const char* attribute, const char* value) { return {name, attribute, value}; }

// A walk's entries come flat with their depth; the JSON nests each
// folder's entries under it, with the words of the folder they are in.
TEST(TreeJsonTest, NestsEachFolderUnderItsEntry)
{
    halsen::TreeJson tree;
    tree.Visit(0, E("MVP1", "o--", "26"), "");
    tree.Visit(1, E("IRQ", "pr-", "11"), "26");
    tree.Visit(1, E("Data", "o--", "25"), "26");
    tree.Visit(2, E("Status", "prv", "-2147483647"), "25");
    tree.Visit(2, E("disk1", "o--", "21"), "25");
    tree.Visit(3, E("Status", "prv", "512"), "21");
    tree.Visit(2, E("rename", "m--", "16"), "25");
    tree.Visit(1, E("ch1", "o--", "20"), "26");
    tree.Visit(1, E("TurnOnBuzzer", "m--", "64"), "26");
    const halsen::Json expected = halsen::Json::parse(R"({
        "name": "MVP1", "attribute": "o--", "value": "26", "entries": [
            {"name": "IRQ", "attribute": "pr-", "value": "11"},
            {"name": "Data", "attribute": "o--", "value": "25", "entries": [
                {"name": "Status", "attribute": "prv", "value": "-2147483647", "meaning": "critical"},
                {"name": "disk1", "attribute": "o--", "value": "21", "entries": [
                    {"name": "Status", "attribute": "prv", "value": "512", "meaning": "assigned"}]},
                {"name": "rename", "attribute": "m--", "value": "16"}]},
            {"name": "ch1", "attribute": "o--", "value": "20", "entries": []},
            {"name": "TurnOnBuzzer", "attribute": "m--", "value": "64"}]})");
    EXPECT_EQ(expected, tree.Root()) << tree.Root().dump(2);
}

// Entries deeper than any folder seen are a fault of the walk; they are
// left out rather than put somewhere wrong.
TEST(TreeJsonTest, EntriesWithoutTheirFolderAreLeftOut)
{
    halsen::TreeJson tree;
    tree.Visit(0, E("MVP1", "o--", "26"), "");
    tree.Visit(3, E("Lost", "pr-", "1"), "");
    tree.Visit(1, E("IRQ", "pr-", "11"), "26");
    EXPECT_EQ(halsen::Json::parse(R"({"name": "MVP1", "attribute": "o--", "value": "26", "entries": [
        {"name": "IRQ", "attribute": "pr-", "value": "11"}]})"),
              tree.Root());
}
} // namespace
