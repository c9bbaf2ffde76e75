// The model cycle and arrays too large to hold: once SetDims has given an
// array index sets whose sizes multiply past the slots an element vector
// holds, the cycle refuses the array's model, names the sizes, and calls
// neither its SetUpEquations nor its JacPattern; nothing is allocated for it.
#include <climits>
#include <cstdint>
#include <string>

#include "host_fixture.h"

namespace {

// A three-dimensional array of real variables, dimensioned as the library's
// array bases dimension theirs.
class Cube : public TQ_Matrix {
 public:
  Cube() : TQ_Matrix(3, m_values) {}
  TQ_Type* NewElement() override { return new TQ_REALVARIABLE(true); }
  void SetDim(TQ_Set& a, TQ_Set& b, TQ_Set& c) {
    CancelDependenceOnDeclaredSets();
    TQ_Set* sets[] = {&a, &b, &c};
    for (int d = 0; d < 3; ++d) {
      DeclaredSets[d] = sets[d];
      sets[d]->AddDependent(this);
    }
  }

 private:
  TQ_SetValue m_values[3];
};

// The two-equation model with a cube over three index sets of given sizes;
// its SetDims dimensions the cube unless told not to.
class Gridded : public TwoEquationModel {
 public:
  Gridded() {
    N1.AddProperty(this, "N1", nullptr, TQ_DIR_NONE, false);
    N2.AddProperty(this, "N2", nullptr, TQ_DIR_NONE, false);
    N3.AddProperty(this, "N3", nullptr, TQ_DIR_NONE, false);
    VALUE.AddProperty(this, "VALUE", nullptr, TQ_DIR_NONE, false);
  }
  void Size(std::int64_t a, std::int64_t b, std::int64_t c) {
    const std::int64_t sizes[] = {a, b, c};
    TQ_INTEGERSET* sets[] = {&N1, &N2, &N3};
    for (int d = 0; d < 3; ++d)
      EXPECT_EQ(sets[d]->Fix(TQ_Value(TQ_IntSetValue(1, static_cast<int>(sizes[d])), 0u, 0u, 0)), TQ_ASSIGN_DONE);
  }
  void SetDims() override {
    if (dimension) VALUE.SetDim(N1, N2, N3);
  }
  TQ_INTEGERSET N1, N2, N3;
  Cube VALUE;
  bool dimension = true;
};

class ArraySizes : public HostTest {};

TEST_F(ArraySizes, TheCycleRefusesAModelWhoseArrayOutgrowsTheSlotCount) {
  struct Case {
    std::int64_t a, b, c;
    bool dimensioned;
    std::int64_t count;    // DeclaredElementCount after SetDims
    const char* reported;  // what the refusal names; null when none is due
  };
  const Case cases[] = {
      {1290, 1290, 1290, true, 2146689000, nullptr},
      {1291, 1291, 1291, true, 2151685171, "1291 x 1291 x 1291 = 2151685171 elements, more than the 2147483647"},
      {65535, 32768, 1, true, INT_MAX - 32767, nullptr},
      {65536, 32768, 1, true, 2147483648LL, "65536 x 32768 x 1 = 2147483648 elements"},
      {INT_MAX, 0, INT_MAX, true, 0, nullptr},
      // The product of the three is past 2^64: held at the largest count, not wrapped.
      {INT_MAX, INT_MAX, INT_MAX, true, INT64_MAX, "= at least 9223372036854775807 elements"},
      {INT_MAX, INT_MAX, INT_MAX, false, -1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + " x " + std::to_string(c.b) + " x " + std::to_string(c.c));
    Host().Reset();
    auto* model = Add<Gridded>("M");
    auto* other = Add<TwoEquationModel>("OK");
    model->Size(c.a, c.b, c.c);
    model->dimension = c.dimensioned;
    const bool refused = c.reported != nullptr;
    EXPECT_EQ(Host().RunCycle(), !refused) << AllErrors();
    EXPECT_EQ(model->VALUE.DeclaredElementCount(), c.count);
    EXPECT_EQ(model->LocalEqnCount, refused ? -1 : 2) << "SetUpEquations called";
    EXPECT_EQ(model->LocalNonZeroCount, refused ? -1 : 4) << "JacPattern called";
    EXPECT_EQ(other->LocalEqnCount, 2) << "the other model goes on";
    EXPECT_EQ(model->VALUE.ElementVector.Elements(), 0u);
    if (refused) {
      EXPECT_TRUE(ErrorMentions("M: SetDims: array M.VALUE over M.N1, M.N2, M.N3 calls for ")) << AllErrors();
      EXPECT_TRUE(ErrorMentions(c.reported)) << AllErrors();
      EXPECT_TRUE(ErrorMentions("M: SetUpEquations not called")) << AllErrors();
      EXPECT_TRUE(ErrorMentions("M: JacPattern not called")) << AllErrors();
    } else {
      EXPECT_TRUE(Host().Errors().empty()) << AllErrors();
    }
  }
}

TEST_F(ArraySizes, ARefusedModelRunsAgainOnceItsSetsFit) {
  auto* model = Add<Gridded>("M");
  model->Size(2000, 2000, 1000);
  EXPECT_FALSE(Host().RunCycle());
  model->Size(20, 20, 10);
  Host().ClearErrors();
  EXPECT_TRUE(Host().RunCycle()) << AllErrors();
  EXPECT_EQ(model->VALUE.DeclaredElementCount(), 4000);
  EXPECT_EQ(model->LocalEqnCount, 2);
}

}  // namespace
