#include <gtest/gtest.h>

#include "expr/syntax_functions.h"
#include "expr/syntax_listener.h"

namespace ryn {
namespace {

TEST(SyntaxFunctionsTest, NameIndexFollowsTheList) {
  TSyntaxFunctions fs;
  TSyntaxFunction& trim = fs.Add("Trimleft", "t");
  fs.Add("ABS", "a");
  fs.Add("abs", "second ABS");
  EXPECT_EQ(fs.Find("TRIMLEFT"), &trim);
  EXPECT_EQ(fs.Find("trimLeft"), &trim);
  EXPECT_EQ(fs.Find("Abs")->Title, "a");  // the first of equal names wins

  ASSERT_TRUE(fs.Delete(1));
  EXPECT_EQ(fs.Find("ABS")->Title, "second ABS");
  EXPECT_FALSE(fs.Delete(5));

  std::unique_ptr<TSyntaxFunction> out = fs.Extract(&trim);
  ASSERT_EQ(out.get(), &trim);
  EXPECT_EQ(fs.Find("TRIMLEFT"), nullptr);
  EXPECT_EQ(fs.Count(), 1);
  EXPECT_EQ(fs.Extract(out.get()), nullptr);  // no longer in the list

  // Renamed after adding: removal still unindexes it.
  TSyntaxFunction& renamed = fs.Add("OLD", "");
  renamed.Name = "NEW";
  fs.Extract(&renamed);
  EXPECT_EQ(fs.Find("OLD"), nullptr);

  fs.Clear();
  EXPECT_EQ(fs.Count(), 0);
  EXPECT_EQ(fs.Find("ABS"), nullptr);
}

TEST(SyntaxFunctionsTest, ManyNamesShareTheBuckets) {
  TSyntaxFunctions fs;
  for (int i = 0; i < 2000; ++i) fs.Add("F" + std::to_string(i), std::to_string(i));
  for (int i = 0; i < 2000; i += 7) {
    TSyntaxFunction* f = fs.Find("f" + std::to_string(i));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Title, std::to_string(i));
  }
  EXPECT_EQ(fs.Find("F2000"), nullptr);
}

TEST(SyntaxFunctionsTest, ParametersKeepTheirOrder) {
  TSyntaxFunctions fs;
  TSyntaxFunction& f = fs.Add("M$", "mid");
  f.AddParam("text", "t", false, false, kDataString).AddParam("start", "s", false, true, kDataInt);
  ASSERT_EQ(f.Count(), 2);
  EXPECT_EQ(f.Params(0)->Name, "text");
  EXPECT_EQ(f.Params(1)->ParamType, kDataInt);
  EXPECT_TRUE(f.Params(1)->Optional);
  EXPECT_FALSE(f.Params(1)->BareText);
  EXPECT_EQ(f.Params(2), nullptr);
  EXPECT_EQ(f.Params(-1), nullptr);
}

class Listener : public TCustomSyntaxFunctionListener {
 public:
  Listener() { functions_.Add("Len", ""); }
};

TEST(SyntaxListenerTest, GlobalListRegistersEachListenerOnce) {
  IntfPtr<ISyntaxFunctionListener> a = MakeIntf<Listener>();
  IntfPtr<ISyntaxFunctionListener> b = MakeIntf<Listener>();
  size_t before = GlobalSyntaxListeners().size();
  RegisterSyntaxListener(a);
  RegisterSyntaxListener(b);
  RegisterSyntaxListener(a);
  EXPECT_EQ(GlobalSyntaxListeners().size(), before + 2);
  UnregisterSyntaxListener(a);
  ASSERT_EQ(GlobalSyntaxListeners().size(), before + 1);
  EXPECT_EQ(GlobalSyntaxListeners().back(), b);
  UnregisterSyntaxListener(b);
  UnregisterSyntaxListener(b);
  EXPECT_EQ(GlobalSyntaxListeners().size(), before);

  EXPECT_TRUE(a->HasFunction("LEN"));
  EXPECT_TRUE(a->HasFunction("len"));
  EXPECT_FALSE(a->HasFunction("LENGTH"));
  EXPECT_TRUE(a->GetErrorText(201).empty());
}

}  // namespace
}  // namespace ryn
