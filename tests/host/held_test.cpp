// What the host holds (TQ_HeapStats::HeldBytes): its heap's blocks as the C library keeps them,
// and its own structures that grow with the models, each counted while it is held and not after;
// and the size budget weighed against it: an equation store foreseen from what the models
// declared, objects and fixed values refused once they would not fit.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "host/tq_executive_testing.h"

namespace {

// A model of `equations` equations of `terms` terms each (the sum of X, `terms` times), declared
// and emitted as the library does.
class Wide : public TQ_ModelTypeEx2 {
 public:
  Wide() { X.AddProperty(this, "X", nullptr, TQ_DIR_NONE, false); }
  int SetUpEquations() override {
    int n = TQ_ModelTypeEx2::SetUpEquations();
    if (n < 0) return n;
    for (int e = 0; e < equations; ++e, ++n) {
      SetGroupLimits(m_stLastGroup + 1);
      for (int t = 0; t < terms; ++t) AddNonZero(X);
    }
    return SetLocalEqnCount(n);
  }
  int JacPattern(int*& rows, int*& cols, TQ_EquationType** types) override {
    ResetExpressions();
    int n = TQ_ModelTypeEx2::JacPattern(rows, cols, types);
    for (int e = 0; e < equations; ++e) {
      AddEquation("TQ_Eqn1", n, m_stLastGroup + 1);
      for (int t = 1; t < terms; ++t) AddOp(EOp_Plus, n - 1);
      for (int t = 0; t < terms; ++t) AddTerm(X, rows, cols, n - 1);
    }
    return n;
  }
  TQ_REALVARIABLE X;
  int equations = 0;
  int terms = 0;
};

class Held : public HostTest {
 protected:
  void TearDown() override {
    TQ_SizeBudget::SetLimit(0);
    HostTest::TearDown();
  }
};

TEST_F(Held, TheHeapsBlocksAreHeldWithTheirHeadersUntilFreed) {
  const std::int64_t held = TQ_HeapStats::HeldBytes();
  std::vector<void*> blocks;
  for (unsigned size : {1u, 40u, 160u, 4096u, 1u << 20}) {
    const std::int64_t before = TQ_HeapStats::HeldBytes();
    blocks.push_back(MyAllocate(size));
    ASSERT_NE(blocks.back(), nullptr);
    // At least the block and a header; no more than the block's size rounded up with two headers.
    EXPECT_GT(TQ_HeapStats::HeldBytes() - before, std::int64_t{size}) << size;
    EXPECT_LE(TQ_HeapStats::HeldBytes() - before, std::int64_t{size} + 64) << size;
  }
  for (void* block : blocks) MyFree(block);
  EXPECT_EQ(TQ_HeapStats::HeldBytes(), held);
}

// Each of the host's structures that grows with its input counts at least the bytes of what it
// keeps while it keeps it, and nothing once it is gone.
TEST_F(Held, TheHostsStructuresAreCountedWhileTheyAreHeld) {
  const struct Case {
    const char* what;
    std::int64_t least;  // the bytes its contents take at least
    // Builds it; what the test holds of it goes with the holder, the rest with the executive.
    std::function<std::shared_ptr<void>()> build;
  } cases[] = {
      {"objects with long names",
       10000 * 40,
       [] {
         for (int k = 0; k < 10000; ++k) {
           auto* model = new TwoEquationModel;
           model->AddRef();
           EXPECT_TRUE(Host().AddObject("AN_OBJECT_WITH_A_LONG_NAME_" + std::to_string(k), model));
         }
         return std::shared_ptr<void>();
       }},
      {"an integer set of many runs",
       100000 * 12,
       [] {
         auto set = std::shared_ptr<TQ_INTEGERSET>(new TQ_INTEGERSET);
         TQ_SetValue members(TQ_SET_INTEGER);
         for (int k = 0; k < 100000; ++k) members += 2 * k;
         EXPECT_EQ(set->Fix(TQ_Value(members, 0u, 0u, 0)), TQ_ASSIGN_DONE);
         return std::shared_ptr<void>(set);
       }},
      {"a set of texts",
       100000 * static_cast<std::int64_t>(sizeof(std::string)),
       [] {
         auto set = std::shared_ptr<TQ_STRINGSET>(new TQ_STRINGSET);
         TQ_SetValue members(TQ_SET_STRING);
         for (int k = 0; k < 100000; ++k) members += ("member " + std::to_string(k)).c_str();
         EXPECT_EQ(set->Fix(TQ_Value(members, 0u, 0u, 0)), TQ_ASSIGN_DONE);
         return std::shared_ptr<void>(set);
       }},
      {"a long text",
       1 << 20,
       [] {
         auto text = std::shared_ptr<TQ_STRINGPARAMETER>(new TQ_STRINGPARAMETER);
         EXPECT_EQ(text->Fix(TQ_Value(std::string(1 << 20, 'x').c_str(), 0u, 0u, 0)), TQ_ASSIGN_DONE);
         return std::shared_ptr<void>(text);
       }},
      {"an equation store",
       100000 * 8 * (8 + 8 + 16),
       [] {
         auto* model = Add<Wide>("W");
         model->equations = 100000;
         model->terms = 8;
         EXPECT_TRUE(Host().RunCycle()) << AllErrors();
         return std::shared_ptr<void>();
       }},
  };
  for (const Case& c : cases) {
    // Once before, for what the host makes once and keeps (function-local statics).
    c.build().reset();
    Host().Reset();
    const std::int64_t before = TQ_HeapStats::StructureBytes();
    std::shared_ptr<void> holder = c.build();
    EXPECT_GE(TQ_HeapStats::StructureBytes() - before, c.least) << c.what;
    holder.reset();
    Host().Reset();
    EXPECT_EQ(TQ_HeapStats::StructureBytes(), before) << c.what << ": counted after it went";
  }
}

// A model admitted for its non-zeros (Estimate) stays within what it was admitted for, through its
// declaration and emission, and once it has declared, what its emission will take is held for it.
TEST_F(Held, AnEquationStoreStaysWithinWhatItsNonZerosWereAdmittedFor) {
  const struct {
    int models, equations, terms;
  } cases[] = {{1, 1, 1}, {1, 100000, 2}, {1, 20000, 30}, {50, 2000, 8}, {3, 200000, 1}};
  for (const auto& c : cases) {
    const std::string where =
        std::to_string(c.models) + " x " + std::to_string(c.equations) + " x " + std::to_string(c.terms);
    Host().Reset();
    std::vector<Wide*> models;
    for (int m = 0; m < c.models; ++m) {
      models.push_back(Add<Wide>(("W" + std::to_string(m)).c_str()));
      models.back()->equations = c.equations;
      models.back()->terms = c.terms;
    }
    const double nonZeros = double(c.models) * c.equations * c.terms;
    const double admitted = double(TQ_SizeBudget::Held()) + TQ_SizeBudget::Estimate(0.0, 0.0, nonZeros);
    TQ_HeapStats::ResetPeak();
    ASSERT_TRUE(Host().RunSetUpEquations()) << AllErrors();
    const std::int64_t declared = TQ_SizeBudget::Held();
    EXPECT_GT(declared, TQ_HeapStats::HeldBytes()) << where << ": the emission to come is held";
    ASSERT_TRUE(Host().RunJacPattern()) << AllErrors();
    EXPECT_EQ(TQ_SizeBudget::Held(), TQ_HeapStats::HeldBytes()) << where << ": nothing more to come";
    EXPECT_LE(double(TQ_HeapStats::PeakHeldBytes()), admitted) << where;
    EXPECT_LE(TQ_HeapStats::PeakHeldBytes(), declared + 64) << where << ": the emission took what was held for it";
  }
}

TEST_F(Held, AnObjectIsRefusedOnceTheHostHoldsMoreThanItsBudget) {
  Add<TwoEquationModel>("A");
  TQ_SizeBudget::SetLimit(TQ_SizeBudget::Held() - 1);
  auto* model = new TwoEquationModel;
  model->AddRef();
  std::string error;
  EXPECT_FALSE(Host().AddObject("B", model, &error));
  // The sizes are given in the unit that fits them.
  EXPECT_EQ(error.find("object \"B\": the host holds "), 0u) << error;
  EXPECT_NE(error.find(" KB, more than the size budget of "), std::string::npos) << error;
  EXPECT_NE(error.find(" KB; refused"), std::string::npos) << error;
  EXPECT_EQ(Host().ObjectCount(), 1);
  model->Release();  // refused, it stayed with the caller
  TQ_SizeBudget::SetLimit(0);
  model = new TwoEquationModel;
  model->AddRef();
  EXPECT_TRUE(Host().AddObject("B", model, &error)) << error;
}

TEST_F(Held, AFixedValueIsRefusedWhenTheHostsCopyWouldNotFit) {
  TQ_SetValue members(TQ_SET_STRING);
  for (int k = 0; k < 10000; ++k) members += ("member " + std::to_string(100000 + k)).c_str();
  const TQ_Value value(members, 0u, 0u, 0);
  TQ_STRINGSET set;
  TQ_SizeBudget::SetLimit(TQ_SizeBudget::Held() + value.Bytes() - 1);
  std::string why;
  EXPECT_EQ(set.Fix(value, &why), TQ_ASSIGN_REFUSED);
  EXPECT_EQ(why.find("a set of 10000 members would take about "), 0u) << why;
  EXPECT_NE(why.find(" KB; with the "), std::string::npos) << why;
  EXPECT_NE(why.find(" the host holds, that is more than the size budget of "), std::string::npos) << why;
  EXPECT_EQ(why.substr(why.size() - 10), "B; refused") << why;
  EXPECT_FALSE(set.IsFixed());
  TQ_SizeBudget::SetLimit(TQ_SizeBudget::Held() + value.Bytes());
  EXPECT_EQ(set.Fix(value, &why), TQ_ASSIGN_DONE) << why;
  EXPECT_EQ(set.v().SetSize(), 10000);
}

}  // namespace
