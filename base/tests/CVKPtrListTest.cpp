#include <gtest/gtest.h>

#include "CVKPtrList.h"

namespace {
int a, b, c, d;
}

TEST(CVKPtrList, InsertAtEveryValidAndInvalidIndex) {
    CVKPtrList list;
    EXPECT_EQ(-1, list.Insert(&a, 1));
    EXPECT_EQ(0, list.Insert(&a, 0));
    EXPECT_EQ(1, list.Insert(&c));     // append
    EXPECT_EQ(1, list.Insert(&b, 1));  // middle
    EXPECT_EQ(3, list.Insert(&d, 3));  // index == count appends
    EXPECT_EQ(-1, list.Insert(&d, -2));
    EXPECT_EQ(-1, list.Insert(&d, 5));
    ASSERT_EQ(4, list.Count());
    EXPECT_EQ(&a, list.Get(0));
    EXPECT_EQ(&b, list.Get(1));
    EXPECT_EQ(&c, list.Get(2));
    EXPECT_EQ(&d, list.Get(3));
    EXPECT_EQ(nullptr, list.Get(-1));
    EXPECT_EQ(nullptr, list.Get(4));
}

TEST(CVKPtrList, RemoveSetAndIndexOf) {
    CVKPtrList list;
    list.Insert(&a);
    list.Insert(&b);
    list.Insert(&a);
    EXPECT_EQ(0, list.IndexOf(&a));
    EXPECT_EQ(-1, list.IndexOf(&c));
    list.Remove(&a);  // only the first slot
    ASSERT_EQ(2, list.Count());
    EXPECT_EQ(&b, list.Get(0));
    EXPECT_EQ(&a, list.Get(1));
    list.Remove(&c);  // absent: nothing
    list.RemoveAt(7);
    list.RemoveAt(-1);
    EXPECT_EQ(2, list.Count());
    list.Set(1, &d);
    list.Set(2, &c);  // outside: ignored
    EXPECT_EQ(&d, list.Get(1));
    EXPECT_EQ(2, list.Count());
    list.RemoveAt(0);
    list.RemoveAt(0);
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(nullptr, list.Get(0));
    EXPECT_EQ(0, list.Insert(&c, 0));  // usable again after emptying
    list.Clear();
    EXPECT_EQ(0, list.Count());
}
