// The bounds and valid set of variables and parameters: kept in a block of
// their own on the host heap, made only when one of them is set, copied with
// the property, freed with it; a refused block is reported and breaks nothing.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "host_fixture.h"

namespace {

// A real parameter whose bounds a test sets, as a derived type would.
class Ranged : public TQ_REALPARAMETER {
 public:
  using TQ_VarParam::SetLowerBound;
  using TQ_VarParam::SetUpperBound;
};

// A text parameter whose valid set a test sets.
class Named : public TQ_STRINGPARAMETER {
 public:
  using TQ_VarParam::SetValidSet;
};

// An integer parameter type with defaults of its own for all three, taken in
// as the library's parameter types take theirs.
class Defaulted : public TQ_INTEGERPARAMETER {
 public:
  Defaulted() : TQ_INTEGERPARAMETER(false) { InitializeSystemAttributes(); }
  TQ_Value* TQ_DefaultVALUE() const override {
    static TQ_Value value(3, 2u);
    return &value;
  }
  TQ_Value* TQ_DefaultLOWER() const override {
    static TQ_Value lower(1, 2u);
    return &lower;
  }
  TQ_Value* TQ_DefaultUPPER() const override {
    static TQ_Value upper(9, 2u);
    return &upper;
  }
  TQ_Value* TQ_DefaultVALID() const override {
    static TQ_Value valid(TQ_IntSetValue(1, 9), 2u);
    return &valid;
  }
};

// A parameter type whose defaults name bounds of no kind: nothing to keep.
class EmptyDefaults : public TQ_REALPARAMETER {
 public:
  EmptyDefaults() : TQ_REALPARAMETER(false) { InitializeSystemAttributes(); }
  TQ_Value* TQ_DefaultVALUE() const override {
    static TQ_Value value(0.5, 0u);
    return &value;
  }
  TQ_Value* TQ_DefaultLOWER() const override {
    static TQ_Value none;
    return &none;
  }
};

class Limits : public HostTest {
 protected:
  static TQ_Value Real(double x) { return TQ_Value(x, 0u, 0u, 0); }
  static TQ_Value Text(const char* s) { return TQ_Value(s, 0u, 0u, 0); }
  static bool Accepts(const TQ_VarParam& p, const TQ_Value& v) { return p.Accepts(v, nullptr); }
};

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST_F(Limits, APropertyWithoutBoundsOrValidSetHoldsNoBlock) {
  // The bounds and valid set are not stored in the object itself.
  EXPECT_LT(sizeof(TQ_REALVARIABLE), sizeof(TQ_Type) + 2 * sizeof(TQ_Value));

  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  const std::int64_t bytes = TQ_HeapStats::LiveBytes();
  auto* variable = new TQ_REALVARIABLE(true);
  auto* derivative = new TQ_PARTIALDERIVATIVE(true);
  auto* parameter = new TQ_INTEGERPARAMETER(true);
  auto* text = new TQ_STRINGPARAMETER(true);
  ASSERT_NE(variable, nullptr);
  ASSERT_NE(derivative, nullptr);
  ASSERT_NE(parameter, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 4) << "one block per object and nothing more";
  EXPECT_EQ(TQ_HeapStats::LiveBytes(),
            bytes + static_cast<std::int64_t>(sizeof(TQ_REALVARIABLE) + sizeof(TQ_PARTIALDERIVATIVE) +
                                              sizeof(TQ_INTEGERPARAMETER) + sizeof(TQ_STRINGPARAMETER)));

  for (const TQ_VarParam* p : {static_cast<TQ_VarParam*>(variable),
                               static_cast<TQ_VarParam*>(derivative),
                               static_cast<TQ_VarParam*>(parameter),
                               static_cast<TQ_VarParam*>(text)}) {
    EXPECT_EQ(p->LowerBound().Kind(), TQ_ValueKind::None);
    EXPECT_EQ(p->UpperBound().Kind(), TQ_ValueKind::None);
    EXPECT_EQ(p->ValidSet().Kind(), TQ_ValueKind::None);
    EXPECT_EQ(p->TQ_LOWERValue(), -kInf);
    EXPECT_EQ(p->TQ_UPPERValue(), kInf);
    EXPECT_TRUE(p->SystemAttributesInitialised());
  }
  EXPECT_TRUE(Accepts(*variable, Real(-1e300)));
  EXPECT_TRUE(Accepts(*parameter, TQ_Value(INT32_MIN, 0u, 0u, 0)));
  EXPECT_TRUE(Accepts(*text, Text("anything")));
  delete variable;
  delete derivative;
  delete parameter;
  delete text;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);

  // Removing a bound that is not there makes no block either, and a type's
  // defaults of no kind keep none.
  Ranged ranged;
  EXPECT_TRUE(ranged.SetLowerBound(TQ_Value()));
  EmptyDefaults empty;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_TRUE(empty.SystemAttributesInitialised());
  EXPECT_DOUBLE_EQ(empty.v(), 0.5) << "the initial value is taken all the same";
  EXPECT_EQ(empty.TQ_LOWERValue(), -kInf);
}

TEST_F(Limits, BoundsAreCheckedAndReadAsTheyWereSet) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  Ranged x;
  ASSERT_TRUE(x.SetLowerBound(TQ_Value(-2, 0u)));  // an integer bound on a real property
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1) << "the first bound makes the block";
  ASSERT_TRUE(x.SetUpperBound(Real(4.5)));
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1) << "the second one shares it";
  EXPECT_EQ(x.TQ_LOWERValue(), -2.0);
  EXPECT_EQ(x.TQ_UPPERValue(), 4.5);
  EXPECT_EQ(x.LowerBound().Kind(), TQ_ValueKind::Integer);
  EXPECT_TRUE(Accepts(x, Real(-2.0)));
  EXPECT_TRUE(Accepts(x, Real(4.5)));
  std::string why;
  EXPECT_FALSE(x.Accepts(Real(-2.25), &why));
  EXPECT_NE(why.find("below the lower bound -2"), std::string::npos) << why;
  EXPECT_FALSE(x.Accepts(Real(4.75), &why));
  EXPECT_NE(why.find("above the upper bound 4.5"), std::string::npos) << why;
  EXPECT_EQ(x.Fix(Real(5.0)), TQ_ASSIGN_REFUSED);
  EXPECT_FALSE(x.IsFixed());

  // A bound given a value of no kind is gone again; the other stays.
  ASSERT_TRUE(x.SetLowerBound(TQ_Value()));
  EXPECT_EQ(x.TQ_LOWERValue(), -kInf);
  EXPECT_TRUE(Accepts(x, Real(-1e9)));
  EXPECT_FALSE(Accepts(x, Real(1e9)));

  Named method;
  ASSERT_TRUE(method.SetValidSet(TQ_Value(TQ_StrSetValue("BFD1\"CFD4\""), 0u)));
  EXPECT_TRUE(Accepts(method, Text("cfd4"))) << "valid names are compared without case";
  EXPECT_FALSE(method.Accepts(Text("OCFE2"), &why));
  EXPECT_NE(why.find("valid set"), std::string::npos) << why;
  EXPECT_EQ(method.TQ_LOWERValue(), -kInf) << "a valid set is no bound";
}

TEST_F(Limits, DefaultsOfAParameterTypeComeWithItsBlock) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  {
    Defaulted p;
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
    EXPECT_TRUE(p.SystemAttributesInitialised());
    EXPECT_EQ(p.v(), 3);
    EXPECT_EQ(p.LowerBound(), TQ_Value(1, 0u));
    EXPECT_EQ(p.LowerBound().Level(), 2u) << "the default as it stands, level and all";
    EXPECT_EQ(p.UpperBound(), TQ_Value(9, 0u));
    EXPECT_EQ(p.ValidSet(), TQ_Value(TQ_IntSetValue(1, 9), 0u));
    EXPECT_EQ(p.TQ_LOWERValue(), 1.0);
    EXPECT_EQ(p.TQ_UPPERValue(), 9.0);
    EXPECT_EQ(p.Fix(TQ_Value(0, 0u, 0u, 0)), TQ_ASSIGN_REFUSED);
    EXPECT_EQ(p.Fix(TQ_Value(10, 0u, 0u, 0)), TQ_ASSIGN_REFUSED);
    EXPECT_EQ(p.Fix(TQ_Value(9, 0u, 0u, 0)), TQ_ASSIGN_DONE);

    // Taking the defaults in again keeps the one block.
    p.InitializeSystemAttributes();
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);
    EXPECT_EQ(p.UpperBound(), TQ_Value(9, 0u));
  }
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live) << "the block goes with the property";
}

TEST_F(Limits, CopiesAndAssignmentsCarryTheirOwnBlock) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  auto* original = new Ranged;
  ASSERT_NE(original, nullptr);
  ASSERT_TRUE(original->SetLowerBound(Real(0.0)));
  ASSERT_TRUE(original->SetUpperBound(Real(1.0)));

  Ranged copy(*original);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 3) << "the copy has a block of its own";
  EXPECT_NE(copy.Column(), original->Column());
  Ranged assigned;
  Ranged& result = (assigned = *original);
  EXPECT_EQ(&result, &assigned);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 4);

  // Changed or gone, the original leaves both as they were.
  ASSERT_TRUE(original->SetUpperBound(Real(50.0)));
  delete original;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 2);
  for (const Ranged* p : {&copy, &assigned}) {
    EXPECT_EQ(p->TQ_LOWERValue(), 0.0);
    EXPECT_EQ(p->TQ_UPPERValue(), 1.0);
    EXPECT_FALSE(Accepts(*p, Real(2.0)));
    EXPECT_TRUE(p->SystemAttributesInitialised());
  }

  // Assigning one with a block to one with a block reuses it; self-assignment
  // keeps it; assigning one without bounds frees it.
  Ranged wider;
  ASSERT_TRUE(wider.SetUpperBound(Real(10.0)));
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 3);
  assigned = wider;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 3);
  EXPECT_EQ(assigned.TQ_LOWERValue(), -kInf);
  EXPECT_EQ(assigned.TQ_UPPERValue(), 10.0);
  Ranged& self = assigned;
  assigned = self;
  EXPECT_EQ(assigned.TQ_UPPERValue(), 10.0);
  assigned = Ranged();
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 2);
  EXPECT_EQ(assigned.TQ_UPPERValue(), kInf);
  EXPECT_TRUE(Accepts(assigned, Real(1e9)));

  // The valid set and the type's defaults travel the same way.
  Named method;
  ASSERT_TRUE(method.SetValidSet(TQ_Value(TQ_StrSetValue("BFD1\"CFD4\""), 0u)));
  Named methodCopy(method);
  Named methodAssigned;
  methodAssigned = method;
  ASSERT_TRUE(method.SetValidSet(TQ_Value(TQ_StrSetValue("OCFE2"), 0u)));
  for (const Named* p : {&methodCopy, &methodAssigned}) {
    EXPECT_EQ(p->ValidSet(), TQ_Value(TQ_StrSetValue("BFD1\"CFD4\""), 0u));
    EXPECT_FALSE(Accepts(*p, Text("OCFE2")));
  }
  const Defaulted defaulted;
  Defaulted defaultedCopy(defaulted);
  EXPECT_EQ(defaultedCopy.ValidSet(), TQ_Value(TQ_IntSetValue(1, 9), 0u));
  EXPECT_EQ(defaultedCopy.TQ_UPPERValue(), 9.0);
}

TEST_F(Limits, ARefusedBlockIsReportedAndBreaksNothing) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();

  // Taking in a type's defaults: the initial value is taken, the bounds are
  // not, and the attributes count as not initialised until a later call.
  TQ_HeapStats::FailAllocations(1);
  Defaulted p;
  EXPECT_TRUE(ErrorMentions("refused the block for its bounds and valid set")) << AllErrors();
  EXPECT_FALSE(p.SystemAttributesInitialised());
  EXPECT_EQ(p.v(), 3);
  EXPECT_EQ(p.LowerBound().Kind(), TQ_ValueKind::None);
  EXPECT_EQ(p.ValidSet().Kind(), TQ_ValueKind::None);
  EXPECT_EQ(p.TQ_UPPERValue(), kInf);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  p.InitializeSystemAttributes();
  EXPECT_TRUE(p.SystemAttributesInitialised());
  EXPECT_EQ(p.TQ_UPPERValue(), 9.0);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);

  // The object granted, its block refused: made, usable, destroyed cleanly.
  Host().ClearErrors();
  TQ_HeapStats::FailAllocations(1, 1);
  auto* onHeap = new Defaulted;
  ASSERT_NE(onHeap, nullptr);
  EXPECT_TRUE(ErrorMentions("refused the block")) << AllErrors();
  EXPECT_FALSE(onHeap->SystemAttributesInitialised());
  EXPECT_EQ(onHeap->Fix(TQ_Value(7, 0u, 0u, 0)), TQ_ASSIGN_DONE);
  delete onHeap;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);

  // A setter answers false and the property keeps what it had.
  Host().ClearErrors();
  Ranged x;
  x.SetObjectName("X");
  TQ_HeapStats::FailAllocations(1);
  EXPECT_FALSE(x.SetLowerBound(Real(1.0)));
  EXPECT_TRUE(ErrorMentions("X: the host heap refused the block")) << AllErrors();
  EXPECT_EQ(x.TQ_LOWERValue(), -kInf);
  ASSERT_TRUE(x.SetLowerBound(Real(1.0)));
  TQ_HeapStats::FailAllocations(1);
  EXPECT_TRUE(x.SetUpperBound(Real(2.0))) << "a block in place needs no allocation";
  TQ_HeapStats::FailAllocations(0);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 2);

  // A copy or an assignment that cannot get a block: reported, no bounds,
  // attributes not initialised; the source is untouched.
  Host().ClearErrors();
  TQ_HeapStats::FailAllocations(1);
  Ranged copy(x);
  EXPECT_TRUE(ErrorMentions("refused the block")) << AllErrors();
  EXPECT_EQ(copy.TQ_LOWERValue(), -kInf);
  EXPECT_FALSE(copy.SystemAttributesInitialised());
  Host().ClearErrors();
  Ranged assigned;
  TQ_HeapStats::FailAllocations(1);
  assigned = x;
  EXPECT_TRUE(ErrorMentions("refused the block")) << AllErrors();
  EXPECT_EQ(assigned.TQ_UPPERValue(), kInf);
  EXPECT_FALSE(assigned.SystemAttributesInitialised());
  EXPECT_EQ(x.TQ_LOWERValue(), 1.0);
  EXPECT_EQ(x.TQ_UPPERValue(), 2.0);
  EXPECT_TRUE(x.SystemAttributesInitialised());
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 2);

  // Given the room, the same assignment takes the bounds.
  assigned = x;
  EXPECT_EQ(assigned.TQ_UPPERValue(), 2.0);
  EXPECT_TRUE(assigned.SystemAttributesInitialised());
}

}  // namespace
