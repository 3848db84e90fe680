#include "CPea.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// A small tree: root (the machine) / MVP1 / array1, plus a property.
class PeaTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Make(m_Root, nullptr, "host", "o--", "2");
        Make(m_Adapter, &m_Root, "MVP1", "o--", "26");
        Make(m_Array, &m_Adapter, "array1", "o--", "25");
        Make(m_Size, &m_Array, "CacheSize", "pr-", "64");
    }

    static void Make(CPea& pea, CPea* parent, const char* name, const char* attribute, const char* content)
    {
        pea.SetName(name);
        pea.SetAttribute(attribute);
        pea.SetContent(content);
        pea.Init(parent, nullptr);
        if (parent)
            parent->AddPea(&pea);
    }

    static std::string Path(const CPea& pea, bool backslash)
    {
        CString path;
        EXPECT_TRUE(pea.GetBaseRef(path, backslash));
        return path.GetBuffer();
    }

    CPea m_Root, m_Adapter, m_Array, m_Size;
};

TEST_F(PeaTree, PathsLeaveOutTheRootsName)
{
    EXPECT_EQ("\\", Path(m_Root, true));
    EXPECT_EQ("/", Path(m_Root, false));
    EXPECT_EQ("\\MVP1", Path(m_Adapter, true));
    EXPECT_EQ("\\MVP1\\array1", Path(m_Array, true));
    EXPECT_EQ("/MVP1/array1/CacheSize", Path(m_Size, false));
    EXPECT_EQ(&m_Root, m_Size.GetRoot());
    EXPECT_TRUE(m_Root.IsRoot());
    EXPECT_FALSE(m_Array.IsRoot());
}

TEST_F(PeaTree, FindPeaLooksAtDirectChildrenByExactName)
{
    EXPECT_EQ(&m_Adapter, m_Root.FindPea("MVP1"));
    EXPECT_EQ(nullptr, m_Root.FindPea("mvp1"));
    EXPECT_EQ(nullptr, m_Root.FindPea("array1"));
    EXPECT_EQ(nullptr, m_Root.FindPea(""));
}

TEST_F(PeaTree, AddAndDelReportDuplicatesAndStrangers)
{
    EXPECT_EQ(E_INVALIDARG, m_Root.AddPea(&m_Adapter));
    EXPECT_EQ(1, m_Root.GetPeaCount());
    EXPECT_EQ(E_INVALIDARG, m_Root.AddPea(nullptr));
    EXPECT_EQ(E_INVALIDARG, m_Root.DelPea(&m_Array));

    CPea spare;
    Make(spare, &m_Root, "spare", "pr-", "1");
    EXPECT_EQ(&spare, m_Root.GetPeaAt(2));
    EXPECT_EQ(S_OK, m_Root.DelPea(&m_Adapter));
    EXPECT_EQ(&spare, m_Root.GetPeaAt(1));

    EXPECT_EQ(S_OK, m_Root.DelPea(nullptr));
    EXPECT_EQ(0, m_Root.GetPeaCount());
    // Unlinked children are left as they were.
    EXPECT_EQ(1, m_Adapter.GetPeaCount());
    EXPECT_STREQ("spare", spare.GetName());
}

TEST_F(PeaTree, InitIsDoneOnce)
{
    CPea other;
    EXPECT_FALSE(m_Adapter.Init(&other, nullptr));
    EXPECT_EQ(&m_Root, m_Adapter.GetParent());
}

TEST(Pea, AttributesClassifyTheEntry)
{
    struct Row
    {
        const char* attribute;
        bool object, property, method, read, write, volatileValue;
    } rows[] = {
        {"o--", true, false, false, false, false, false}, {"or-", true, false, false, false, false, false},
        {"m--", false, false, true, false, false, false}, {"prw", false, true, false, true, true, false},
        {"pr-", false, true, false, true, false, false},  {"prv", false, true, false, true, false, true},
        {"p-w", false, true, false, false, true, false},  {"", false, false, false, false, false, false},
        {"mrw", false, false, true, false, false, false},
    };
    for (const Row& row : rows)
    {
        CPea pea;
        ASSERT_TRUE(pea.SetAttribute(row.attribute));
        EXPECT_EQ(row.object, pea.IsObject()) << row.attribute;
        EXPECT_EQ(row.property, pea.IsProperty()) << row.attribute;
        EXPECT_EQ(row.method, pea.IsMethod()) << row.attribute;
        EXPECT_EQ(row.read, pea.IsProperty_Read()) << row.attribute;
        EXPECT_EQ(row.write, pea.IsProperty_Write()) << row.attribute;
        EXPECT_EQ(row.volatileValue, pea.IsProperty_Volatile()) << row.attribute;
    }
}

TEST(Pea, AttributesOfOtherLengthsAreRefused)
{
    CPea pea;
    pea.SetAttribute("pr-");
    for (const char* bad : {"p", "pr", "prw-", "o--x"})
        EXPECT_FALSE(pea.SetAttribute(bad)) << bad;
    EXPECT_STREQ("pr-", pea.GetAttribute());
}

TEST(Pea, ToStringAndCopy)
{
    CPea pea;
    pea.SetName("CacheSize");
    CString text;
    pea.ToString(text);
    EXPECT_STREQ("CacheSize@@", text);
    pea.SetAttribute("pr-");
    pea.SetContent("64");
    pea.SetKind(CPea::kSingleUser);
    pea.ToString(text);
    EXPECT_STREQ("CacheSize@pr-@64", text);

    CPea parent, child, copy;
    copy.Init(&parent, nullptr);
    copy.AddPea(&child);
    copy = pea;
    copy.ToString(text);
    EXPECT_STREQ("CacheSize@pr-@64", text);
    EXPECT_TRUE(copy.IsKindOf(CPea::kSingleUser));
    EXPECT_EQ(nullptr, copy.GetParent()) << "links are copied too";
    EXPECT_EQ(1, copy.GetPeaCount()) << "children are not";
}
} // namespace
