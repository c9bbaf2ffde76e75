// The parameter types: their defaults, bounds, valid set and quantities, the
// shared statics behind them, and how their initialise flag works.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "test_types.h"
#include "types/tq_parameters.h"

namespace {

class ParameterTypeTest : public HostTest {};

std::vector<std::string> Members(const TQ_SetValue& set) {
  std::vector<std::string> names;
  for (int i = 0; i < set.SetSize(); ++i) names.push_back(set.String(i));
  return names;
}

TEST_F(ParameterTypeTest, DefaultsAreSharedStaticsOfEachType) {
  TQ_NUMSECTIONSPARAM a, b;
  EXPECT_EQ(a.TQ_DefaultVALUE(), b.TQ_DefaultVALUE());
  EXPECT_EQ(a.TQ_DefaultVALUE(), a.TQ_DefaultVALUE());
  EXPECT_EQ(a.TQ_DefaultLOWER(), b.TQ_DefaultLOWER());
  EXPECT_NE(a.TQ_DefaultVALUE(), a.TQ_DefaultLOWER()) << "each operation has its own";
  TQ_POLYPOINTSPARAM p;
  EXPECT_NE(p.TQ_DefaultVALUE(), a.TQ_DefaultVALUE()) << "each type has its own";
  TQ_DISCRETIZATIONMETHODPARAM m1, m2;
  EXPECT_EQ(m1.TQ_DefaultVALID(), m2.TQ_DefaultVALID());
  EXPECT_EQ(m1.TQ_DefaultVALUE(), m2.TQ_DefaultVALUE());
  TQ_ANGLEPARAMETER angle1, angle2;
  EXPECT_EQ(angle1.TQ_DefaultPHYSICALQUANTITY(), angle2.TQ_DefaultPHYSICALQUANTITY());
}

TEST_F(ParameterTypeTest, SectionsDefaultToOneAndRefuseFewer) {
  TQ_NUMSECTIONSPARAM sections;
  EXPECT_EQ(sections.TQ_DefaultVALUE()->Integer(), 1);
  EXPECT_EQ(sections.TQ_DefaultLOWER()->Integer(), 1);
  EXPECT_EQ(sections.TQ_DefaultVALUE()->Kind(), TQ_ValueKind::Integer);
  EXPECT_EQ(sections.TQ_DefaultUPPER(), nullptr) << "the host base's";
  EXPECT_EQ(sections.v(), 1);
  std::string why;
  EXPECT_EQ(sections.Fix(TQ_Value(0, 0u, 0u, 0), &why), TQ_ASSIGN_REFUSED);
  EXPECT_NE(why.find("lower bound"), std::string::npos) << why;
  EXPECT_EQ(sections.Fix(TQ_Value(4, 0u, 0u, 0)), TQ_ASSIGN_DONE);
  EXPECT_EQ(sections.v(), 4);
}

TEST_F(ParameterTypeTest, PolyPointsDefaultToZeroAndRefuseNegatives) {
  TQ_POLYPOINTSPARAM points;
  EXPECT_EQ(points.TQ_DefaultVALUE()->Integer(), 0);
  EXPECT_EQ(points.TQ_DefaultLOWER()->Integer(), 0);
  EXPECT_EQ(points.v(), 0);
  EXPECT_EQ(points.Fix(TQ_Value(-1, 0u, 0u, 0)), TQ_ASSIGN_REFUSED);
  EXPECT_EQ(points.Fix(TQ_Value(0, 0u, 0u, 0)), TQ_ASSIGN_DONE);
}

TEST_F(ParameterTypeTest, MethodSetHoldsTheTenNamesInOrder) {
  TQ_DISCRETIZATIONMETHODPARAM method;
  const TQ_Value* valid = method.TQ_DefaultVALID();
  ASSERT_NE(valid, nullptr);
  ASSERT_EQ(valid->Kind(), TQ_ValueKind::Set);
  EXPECT_EQ(
      Members(valid->Set()),
      (std::vector<std::string>{"BFD1", "BFD2", "CFD2", "CFD4", "FFD1", "FFD2", "OCFE2", "OCFE3", "OCFE4", "UBFD4"}));
  EXPECT_STREQ(method.TQ_DefaultVALUE()->Text(), "BFD1");
  EXPECT_STREQ(method.v(), "BFD1");
  EXPECT_EQ(method.Fix(TQ_Value("ocfe3", 0u, 0u, 0)), TQ_ASSIGN_DONE) << "names are compared without case";
  std::string why;
  EXPECT_EQ(method.Fix(TQ_Value("CFD3", 0u, 0u, 0), &why), TQ_ASSIGN_REFUSED);
  EXPECT_NE(why.find("valid set"), std::string::npos) << why;
}

TEST_F(ParameterTypeTest, AngleAndLengthCarryTheirQuantityAndNoColumnOrRow) {
  TQ_ANGLEPARAMETER angle;
  TQ_LENGTHPARAMETER length;
  EXPECT_STREQ(angle.TQ_DefaultPHYSICALQUANTITY()->Text(), "Angle");
  EXPECT_STREQ(length.TQ_DefaultPHYSICALQUANTITY()->Text(), "Length");
  EXPECT_EQ(angle.TQ_PQCol(), 0);
  EXPECT_EQ(angle.TQ_PQRow(), 0);
  EXPECT_EQ(length.TQ_PQCol(), 0);
  EXPECT_EQ(length.TQ_PQRow(), 0);
  TQ_REALPARAMETER plain;
  EXPECT_EQ(plain.TQ_PQCol(), -1) << "the host base's own answer differs";
  EXPECT_EQ(angle.TQ_DefaultVALUE(), nullptr);
  EXPECT_DOUBLE_EQ(length.v(), 0.0);
}

TEST_F(ParameterTypeTest, InitialiseFlagDecidesWhetherDefaultsAreTakenIn) {
  TQ_NUMSECTIONSPARAM bare(false);
  EXPECT_FALSE(bare.SystemAttributesInitialised());
  EXPECT_EQ(bare.v(), 0) << "the host's initial value, not the type's default";
  EXPECT_EQ(bare.Fix(TQ_Value(0, 0u, 0u, 0)), TQ_ASSIGN_DONE) << "no lower bound yet";
  TQ_NUMSECTIONSPARAM initialised;
  EXPECT_TRUE(initialised.SystemAttributesInitialised());
  EXPECT_EQ(&*initialised, &initialised);

  TQ_DISCRETIZATIONMETHODPARAM copy(TQ_DISCRETIZATIONMETHODPARAM{});
  EXPECT_STREQ(copy.v(), "BFD1");
  TQ_DISCRETIZATIONMETHODPARAM assigned(false);
  EXPECT_EQ(&(assigned = copy), &assigned);
  EXPECT_EQ(assigned.Fix(TQ_Value("XYZ", 0u, 0u, 0)), TQ_ASSIGN_REFUSED) << "the valid set came with the assignment";
}

TEST_F(ParameterTypeTest, BoundsAndValidSetAreTheTypesDefaultsAndOnlyTheyTakeRoom) {
  const std::int64_t live = TQ_HeapStats::LiveBlocks();
  {
    TQ_NUMSECTIONSPARAM sections;
    EXPECT_EQ(sections.LowerBound(), *sections.TQ_DefaultLOWER());
    EXPECT_EQ(sections.TQ_LOWERValue(), 1.0);
    EXPECT_EQ(sections.UpperBound().Kind(), TQ_ValueKind::None);
    EXPECT_EQ(sections.TQ_UPPERValue(), std::numeric_limits<double>::infinity());
    TQ_POLYPOINTSPARAM points;
    EXPECT_EQ(points.TQ_LOWERValue(), 0.0);
    TQ_DISCRETIZATIONMETHODPARAM method;
    EXPECT_EQ(method.ValidSet(), *method.TQ_DefaultVALID());
    EXPECT_EQ(method.TQ_LOWERValue(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 3) << "one block each for the bounds and valid set";

    // A copy has its own; the types without bounds hold none.
    TQ_DISCRETIZATIONMETHODPARAM copy(method);
    EXPECT_EQ(copy.ValidSet(), *method.TQ_DefaultVALID());
    TQ_LENGTHPARAMETER length;
    TQ_ANGLEPARAMETER angle;
    TQ_NUMSECTIONSPARAM bare(false);
    EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 4);
    EXPECT_EQ(bare.LowerBound().Kind(), TQ_ValueKind::None);
  }
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);

  // The object granted and its block refused: the parameter is made, says
  // so, and has its default value but no bound yet.
  TQ_HeapStats::FailAllocations(1, 1);
  auto* sections = new TQ_NUMSECTIONSPARAM;
  ASSERT_NE(sections, nullptr);
  ASSERT_FALSE(Errors().empty());
  EXPECT_NE(Errors().back().find("refused the block for its bounds and valid set"), std::string::npos)
      << Errors().back();
  EXPECT_FALSE(sections->SystemAttributesInitialised());
  EXPECT_EQ(sections->v(), 1);
  EXPECT_EQ(sections->Fix(TQ_Value(0, 0u, 0u, 0)), TQ_ASSIGN_DONE) << "no lower bound was kept";
  sections->InitializeSystemAttributes();
  EXPECT_TRUE(sections->SystemAttributesInitialised());
  EXPECT_EQ(sections->TQ_LOWERValue(), 1.0);
  delete sections;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
}

}  // namespace
