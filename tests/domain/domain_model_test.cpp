// The section and domain classes as the host sees them: the properties they
// register and in which order, their type ids, the values their assignments
// hand over (statement numbers, sweeps, pass and level), the sizing of their
// arrays, the length and angle domains, and the links, virtual properties
// and arrays over them.
#include <tuple>

#include "domain_support.h"
#include "framework/tq_instances.h"
#include "host/tq_executive_testing.h"

using namespace domaintest;

namespace {

struct Registered {
  std::string name;
  int direction;
  std::string description;  // "-" for none
  bool exported;
  friend bool operator==(const Registered&, const Registered&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Registered& r) {
    return out << r.name << "/" << r.direction << "/" << r.description << (r.exported ? "" : "/not exported");
  }
};

std::vector<Registered> RegisteredProperties(const TQ_Containable& owner) {
  std::vector<Registered> list;
  for (int i = 0; i < owner.PropertyCount(); ++i) {
    const TQ_PropertyRecord& r = owner.PropertyAt(i);
    list.push_back(Registered{r.name, r.direction, r.description ? r.description : "-", r.property->IsToBeExported()});
    EXPECT_FALSE(r.flag) << r.name;
  }
  return list;
}

const std::vector<Registered>& DomainProperties() {
  static const std::vector<Registered> list = {
      {"TQ_SECTION_SET1", 0, "-", true},
      {"SECTION", 0, "-", true},
      {"LENGTH", 0, "Domain length", true},
      {"SPACINGPREFERENCE", 0, "Preferred node spacing for domain", true},
      {"TQ_VALUE_SET1", 0, "-", true},
      {"VALUE", 0, "DO NOT EDIT - Location of each node in domain", true},
      {"USERNOTES", 0, "-", true},
      {"INPUTSIGNAL", 4, "-", false},
      {"OUTPUTSIGNAL", 8, "-", false},
      {"DISCRETIZATIONMETHOD", 0, "Method used to calculate partial derivatives", true},
      {"NUMSECTIONS", 0, "Number of sections in the domain", true},
      {"MINNODECOUNT", 0, "-", true},
      {"NUMPOLYPOINTS", 0, "-", true},
      {"TQ_POLYPOINT_SET1", 0, "-", true},
      {"POLYPOINT", 0, "-", true},
      {"HIGHESTORDERDERIVATIVE", 0, "-", true},
      {"INTERIOR", 0, "-", true},
      {"ENDNODE", 0, "DO NOT EDIT - Index of the rightmost element in domain", true},
  };
  return list;
}

class DomainModel : public DomainTest {};

// ---- registration ------------------------------------------------------------------------

TEST_F(DomainModel, DomainRegistersEighteenPropertiesIndexSetsBeforeTheirArrays) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  EXPECT_EQ(RegisteredProperties(d), DomainProperties());
  // Each name is registered on the member itself.
  EXPECT_EQ(d.PropertyAt(0).property, &d.TQ_SECTION_SET1);
  EXPECT_EQ(d.PropertyAt(1).property, &d.SECTION);
  EXPECT_EQ(d.PropertyAt(14).property, &d.POLYPOINT);
  EXPECT_EQ(d.PropertyAt(17).property, &d.ENDNODE);
}

TEST_F(DomainModel, LengthAndAngleDomainsRegisterExactlyTheDomainsProperties) {
  EXPECT_EQ(RegisteredProperties(Make<TQ_LENGTHDOMAIN>("L")), DomainProperties());
  EXPECT_EQ(RegisteredProperties(Make<TQ_ANGLEDOMAIN>("A")), DomainProperties());
}

TEST_F(DomainModel, DomainBuiltWithoutTheFlagRegistersNothing) {
  TQ_DOMAIN plain(false);
  EXPECT_EQ(plain.PropertyCount(), 0);
  TQ_LENGTHDOMAIN length(false);
  EXPECT_EQ(length.PropertyCount(), 0);
}

TEST_F(DomainModel, SectionRegistersTheGenericModelsPropertiesThenItsOwnTen) {
  TQ_GENERICMODEL generic(true);
  std::vector<Registered> expected = RegisteredProperties(generic);
  ASSERT_FALSE(expected.empty());
  const std::vector<Registered> own = {
      {"MINNODECOUNT", 0, "-", true},
      {"LOCATION", 0, "Absolute location of LH boundary of this section", true},
      {"SPACINGPREFERENCE", 0, "Preferred spacing between nodes in this section", true},
      {"SPACINGUSED", 0, "Actual spacing used between nodes in this section", true},
      {"LENGTH", 0, "-", true},
      {"NODECOUNT", 0, "-", true},
      {"BASE", 0, "-", true},
      {"NUMELEMENTS", 0, "-", true},
      {"ELEMENTLENGTH", 0, "-", true},
      {"INTERIOR", 0, "-", true},
  };
  expected.insert(expected.end(), own.begin(), own.end());
  TQ_SECTIONDATAMODEL& s = Make<TQ_SECTIONDATAMODEL>("S");
  EXPECT_EQ(RegisteredProperties(s), expected);
  EXPECT_EQ(s.PropertyAt(generic.PropertyCount()).property, &s.MINNODECOUNT);
  // The generic model's component list answers for the section.
  EXPECT_EQ(s.ComponentList(), &s.COMPONENTLIST);
}

// ---- type ids -----------------------------------------------------------------------------

TEST_F(DomainModel, TypeIdsAndTheirAncestry) {
  TQ_DOMAIN d(false);
  TQ_LENGTHDOMAIN length(false);
  TQ_ANGLEDOMAIN angle(false);
  TQ_SECTIONDATAMODEL section(false);
  EXPECT_STREQ(d.TQ_DefaultDESCRIPTION(), "Model DOMAIN\tV7.1");
  EXPECT_STREQ(length.TQ_DefaultDESCRIPTION(), "Model LENGTHDOMAIN\tV7.1");
  EXPECT_STREQ(angle.TQ_DefaultDESCRIPTION(), "Model ANGLEDOMAIN\tV7.1");
  EXPECT_STREQ(section.TQ_DefaultDESCRIPTION(), "Model SECTIONDATAMODEL\tV7.1");

  for (TQ_DOMAIN* domain : {&d, static_cast<TQ_DOMAIN*>(&length), static_cast<TQ_DOMAIN*>(&angle)})
    EXPECT_TRUE(domain->ContainerDerivesFrom("model domain\tv7.1")) << domain->TQ_DefaultDESCRIPTION();
  EXPECT_FALSE(d.ContainerDerivesFrom("Model LENGTHDOMAIN\tV7.1"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model ANGLEDOMAIN\tV7.1"));
  EXPECT_FALSE(d.ContainerDerivesFrom("Model DOMAIN V7.1"));
  EXPECT_TRUE(length.ContainerDerivesFrom("MODEL LENGTHDOMAIN\tV7.1"));
  EXPECT_FALSE(length.ContainerDerivesFrom("Model ANGLEDOMAIN\tV7.1"));
  EXPECT_TRUE(angle.ContainerDerivesFrom("Model ANGLEDOMAIN\tV7.1"));
  EXPECT_FALSE(angle.ContainerDerivesFrom("Model LENGTHDOMAIN\tV7.1"));

  EXPECT_TRUE(section.ContainerDerivesFrom("model sectiondatamodel\tv7.1"));
  EXPECT_TRUE(section.ContainerDerivesFrom("Model GENERICMODEL\tV7.1"));
  EXPECT_FALSE(section.ContainerDerivesFrom("Model DOMAIN\tV7.1"));
}

// ---- values handed to the host --------------------------------------------------------------

struct Expected {
  bool indexSet;
  const TQ_Containable* target;
  int number;
  int sweep;
  TQ_Value value;
};

TEST_F(DomainModel, AssignmentsHandOverEveryValueWithItsNumberPassAndLevel) {
  // Two "OCFE2" sections with second derivatives, called with level 7 and
  // pass 3 on a fresh domain.
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Configure(d, "OCFE2", 2, 2);
  TQ_ExecutiveTesting::ClearLog(TQ_Executive::Instance());
  EXPECT_EQ(d.ExecuteAssignments(7, 3), 0);
  ASSERT_TRUE(Errors().empty());

  std::vector<Expected> expected;
  auto set = [&](TQ_Containable& target, int number, int sweep, const TQ_SetValue& value) {
    expected.push_back(Expected{true, &target, number, sweep, TQ_Value(value, 3u, 7u, number)});
  };
  auto assign = [&](TQ_Containable& target, int number, auto value) {
    expected.push_back(Expected{false, &target, number, 0, TQ_Value(value, 3u, 7u, number)});
  };
  auto odd = [](int lo, int hi) {
    TQ_IntSetValue s(nullptr);
    for (int k = lo; k <= hi; k += 2) s += k;
    return s;
  };
  set(d.TQ_SECTION_SET1, 1, 0, TQ_IntSetValue(1, 2));
  set(d.TQ_VALUE_SET1, 2, 0, TQ_IntSetValue(0, 0));
  set(d.TQ_POLYPOINT_SET1, 3, 0, TQ_IntSetValue(1, 0));
  assign(*d.LENGTH, 4, 1.0);
  assign(*d.SPACINGPREFERENCE, 5, 0.0625);
  assign(d.MINNODECOUNT, 6, 2);
  assign(d.NUMPOLYPOINTS, 9, 1);
  assign(d.POLYPOINT(1), 10, 0.5);
  assign(d.HIGHESTORDERDERIVATIVE, 24, 1);
  assign(*S(d, 1).LOCATION, 25, 0.0);
  for (int i = 1; i <= 2; ++i) {
    TQ_SECTIONDATAMODEL& s = S(d, i);
    assign(*s.SPACINGPREFERENCE, 27, 0.0625);
    if (i == 1) {
      assign(*S(d, 2).LOCATION, 26, 0.5);
      assign(s.LENGTH, 29, 0.5);
    } else {
      assign(s.LENGTH, 28, 0.5);
    }
    assign(s.NODECOUNT, 31, 8);
    if (i == 1)
      assign(s.BASE, 33, 0);
    else
      assign(s.BASE, 32, 8);
    assign(*s.SPACINGUSED, 34, 0.0625);
    assign(s.NUMELEMENTS, 35, 4);
    assign(s.ELEMENTLENGTH, 37, 0.125);
    assign(s.INTERIOR, 39, static_cast<const TQ_SetValue&>(odd(8 * i - 7, 8 * i - 1)));
  }
  assign(d.INTERIOR, 41, static_cast<const TQ_SetValue&>(odd(1, 15)));
  assign(d.ENDNODE, 43, 16);
  assign((*d.VALUE)(0), 44, 0.0);
  for (int i = 1; i <= 2; ++i)
    for (int e = 1; e <= 4; ++e) {
      const int k = 8 * (i - 1) + 2 * (e - 1);
      const double start = 0.5 * (i - 1);
      assign((*d.VALUE)(k + 1), 47, 0.125 * ((0.5 + e) + (-1.0)) + start);
      assign((*d.VALUE)(k + 2), 48, 0.125 * e + start);
    }
  set(d.TQ_SECTION_SET1, 1, 1, TQ_IntSetValue(1, 2));
  set(d.TQ_VALUE_SET1, 2, 1, TQ_IntSetValue(0, 16));
  set(d.TQ_POLYPOINT_SET1, 3, 1, TQ_IntSetValue(1, 1));

  const std::vector<Handed> handed = HandedValues();
  ASSERT_EQ(handed.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    SCOPED_TRACE("value " + std::to_string(k) + ", statement " + std::to_string(expected[k].number));
    EXPECT_EQ(handed[k].indexSet, expected[k].indexSet);
    EXPECT_EQ(handed[k].target, expected[k].target) << TQ_Executive::Instance().PathOf(handed[k].target);
    EXPECT_EQ(handed[k].number, expected[k].number);
    EXPECT_EQ(handed[k].value.Kind(), expected[k].value.Kind());
    EXPECT_TRUE(handed[k].value == expected[k].value)
        << handed[k].value.ToString() << " instead of " << expected[k].value.ToString();
    EXPECT_EQ(handed[k].value.Pass(), 3u);
    EXPECT_EQ(handed[k].value.Level(), 7u);
    if (expected[k].indexSet) {
      EXPECT_EQ(handed[k].sweep, expected[k].sweep);
    }
  }
  // The fixed order stays: the host kept the user's value.
  EXPECT_EQ(handed[8].status, TQ_ASSIGN_KEPT_FIXED);
  EXPECT_EQ(d.HIGHESTORDERDERIVATIVE.v(), 2);
}

TEST_F(DomainModel, DefaultDomainStatementNumbersLeaveGapsForWhatDoesNotRun) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  Run(d);
  std::vector<int> numbers;
  for (const Handed& h : HandedValues()) numbers.push_back(h.number);
  std::vector<int> expected = {1, 2, 3, 4, 5, 6, 24, 25, 27, 28, 31, 33, 34, 35, 36, 40, 41, 42, 43, 44};
  expected.insert(expected.end(), 8, 48);
  expected.insert(expected.end(), {1, 2, 3});
  EXPECT_EQ(numbers, expected);
}

TEST_F(DomainModel, EachMethodAssignsItsValuesUnderItsOwnNumbers) {
  const std::vector<std::pair<std::string, std::vector<int>>> cases = {
      {"BFD1", {6}},
      {"FFD1", {6}},
      {"BFD2", {6, 11, 12}},
      {"FFD2", {6, 11, 12}},
      {"CFD2", {6, 11, 12}},
      {"OCFE2", {6, 9, 10}},
      {"OCFE3", {7, 13, 14, 15}},
      {"OCFE4", {8, 16, 17, 18, 19}},
      {"CFD4", {8, 20, 21, 22, 23}},
      {"UBFD4", {8, 20, 21, 22, 23}},
  };
  for (const auto& [method, numbers] : cases) {
    SCOPED_TRACE(method);
    Fresh();
    TQ_DOMAIN& d = Make<TQ_DOMAIN>();
    Configure(d, method, 1, 1);
    Run(d);
    std::vector<int> methodNumbers;
    for (const Handed& h : HandedValues())
      if (!h.indexSet && h.number > 5 && h.number < 24) methodNumbers.push_back(h.number);
    EXPECT_EQ(methodNumbers, numbers);
    // Points run from the higher-order statements for the evenly spaced
    // methods, from the collocation ones otherwise.
    const bool byElement = Method(method).collocation || Method(method).points == 0;
    EXPECT_EQ(Ran(45) || Ran(46), !byElement);
    EXPECT_EQ(Ran(47) || Ran(48), byElement);
  }
}

TEST_F(DomainModel, AssignmentsReturnTheParentsStatusUnexamined) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  TQ_ExecutiveTesting::SetRootAssignmentStatus(TQ_Executive::Instance(), -4);
  EXPECT_EQ(Run(d), -4);
  EXPECT_EQ(d.ENDNODE.v(), 8);
}

TEST_F(DomainModel, LengthAndAngleDomainsRunTheGridOneLevelDown) {
  TQ_LENGTHDOMAIN& length = Make<TQ_LENGTHDOMAIN>("L");
  TQ_ANGLEDOMAIN& angle = Make<TQ_ANGLEDOMAIN>("A");
  for (TQ_DOMAIN* d : {static_cast<TQ_DOMAIN*>(&length), static_cast<TQ_DOMAIN*>(&angle)}) {
    SCOPED_TRACE(d->TQ_DefaultDESCRIPTION());
    TQ_ExecutiveTesting::ClearLog(TQ_Executive::Instance());
    TQ_ExecutiveTesting::SetRootAssignmentStatus(TQ_Executive::Instance(), -2);
    Configure(*d, "CFD4", 2, 1);
    EXPECT_EQ(d->ExecuteAssignments(7, 3), -2);
    const std::vector<Handed> handed = HandedValues();
    ASSERT_FALSE(handed.empty());
    for (const Handed& h : handed) {
      EXPECT_EQ(h.value.Level(), 6u);
      EXPECT_EQ(h.value.Pass(), 3u);
    }
    // The same grid as a plain domain's.
    EXPECT_EQ(d->ENDNODE.v(), 16);
    EXPECT_EQ(S(*d, 2).BASE.v(), 8);
    EXPECT_EQ(Node(*d, 16), 1.0);
    EXPECT_EQ(handed.front().number, 1);
    EXPECT_EQ(handed.back().number, 3);
  }
}

TEST_F(DomainModel, SectionsOwnAssignmentsChangeNothing) {
  TQ_SECTIONDATAMODEL& s = Make<TQ_SECTIONDATAMODEL>("S");
  TQ_ExecutiveTesting::SetRootAssignmentStatus(TQ_Executive::Instance(), -6);
  EXPECT_EQ(s.ExecuteAssignments(4, 2), -6);
  EXPECT_TRUE(HandedValues().empty());
  for (TQ_VarParamProp* p : std::initializer_list<TQ_VarParamProp*>{
           &s.LENGTH, &s.NODECOUNT, &s.BASE, &s.NUMELEMENTS, &s.ELEMENTLENGTH, &s.INTERIOR})
    EXPECT_FALSE(p->HasValue()) << p->Name();
}

TEST_F(DomainModel, DomainsAndSectionsDeclareAndEmitNoEquations) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>("D");
  TQ_LENGTHDOMAIN& length = Make<TQ_LENGTHDOMAIN>("L");
  TQ_SECTIONDATAMODEL& s = Make<TQ_SECTIONDATAMODEL>("S");
  TQ_Executive& host = TQ_Executive::Instance();
  ASSERT_TRUE(host.RunCycle()) << (host.Errors().empty() ? "" : host.Errors().front());
  EXPECT_TRUE(host.Declared().empty());
  EXPECT_TRUE(host.Emitted().empty());
  EXPECT_EQ(d.LocalEqnCount, 0);
  EXPECT_EQ(d.LocalNonZeroCount, 0);
  EXPECT_EQ(length.LocalEqnCount, 0);
  EXPECT_EQ(length.LocalNonZeroCount, 0);
  EXPECT_EQ(static_cast<TQ_DOMAIN&>(length).LocalEqnCount, 0);
  EXPECT_EQ(s.LocalEqnCount, 0);
  EXPECT_EQ(s.LocalNonZeroCount, 0);
  TQ_ExecutiveTesting::SetRootSetUpResult(host, -3);
  EXPECT_EQ(d.SetUpEquations(), -3);
  EXPECT_EQ(length.SetUpEquations(), -3);
  TQ_ExecutiveTesting::SetRootSetUpResult(host, std::nullopt);
}

// ---- array sizing ----------------------------------------------------------------------------

TEST_F(DomainModel, SetDimsSizesSectionsThenNodesThenPoints) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>();
  // Nothing has made the default arrays of SECTION and VALUE yet: the first
  // allocation of SetDims is the section array, the second the node array.
  TQ_HeapStats::FailAllocations(1, 0);
  EXPECT_THROW(d.SetDims(), TQ_LinkError);
  EXPECT_EQ(d.SECTION.CurrentLink(), nullptr);
  EXPECT_EQ(d.POLYPOINT.DeclaredSet(0), nullptr);

  TQ_HeapStats::FailAllocations(1, 1);
  EXPECT_THROW(d.SetDims(), TQ_LinkError);
  ASSERT_NE(d.SECTION.CurrentLink(), nullptr);
  EXPECT_EQ((*d.SECTION).DeclaredSet(0), &d.TQ_SECTION_SET1);
  EXPECT_EQ(d.VALUE.CurrentLink(), nullptr);
  EXPECT_EQ(d.POLYPOINT.DeclaredSet(0), nullptr);

  TQ_HeapStats::FailAllocations(0);
  Configure(d, "OCFE4", 2, 1);
  Run(d);
  d.SetDims();
  EXPECT_EQ((*d.SECTION).DeclaredSet(0), &d.TQ_SECTION_SET1);
  EXPECT_EQ((*d.VALUE).DeclaredSet(0), &d.TQ_VALUE_SET1);
  EXPECT_EQ(d.POLYPOINT.DeclaredSet(0), &d.TQ_POLYPOINT_SET1);
  EXPECT_EQ(Members(d.TQ_SECTION_SET1.v()), Span(1, 2));
  EXPECT_EQ(Members(d.TQ_VALUE_SET1.v()), Span(0, d.ENDNODE.v()));
  EXPECT_EQ(Members(d.TQ_POLYPOINT_SET1.v()), Span(1, 3));
}

TEST_F(DomainModel, LengthDomainSizesTheSameArrays) {
  TQ_LENGTHDOMAIN& d = Make<TQ_LENGTHDOMAIN>("L");
  Run(d);
  d.SetDims();
  EXPECT_EQ((*d.SECTION).DeclaredSet(0), &d.TQ_SECTION_SET1);
  EXPECT_EQ((*d.VALUE).DeclaredSet(0), &d.TQ_VALUE_SET1);
  EXPECT_EQ(d.POLYPOINT.DeclaredSet(0), &d.TQ_POLYPOINT_SET1);
  EXPECT_EQ(d.TQ_POLYPOINT_SET1.v().SetSize(), 0);
}

// ---- links, virtual properties and arrays over the domain classes ------------------------------

TEST_F(DomainModel, LinksAndVirtualPropertiesNameTheirClassesOwnTypeId) {
  EXPECT_EQ(TQ_External<TQ_DOMAIN>().ExternalTypeName(), TQ_DOMAIN::TQ_ContainerId());
  EXPECT_STREQ(TQ_External<TQ_LENGTHDOMAIN>().ExternalTypeName(), "Model LENGTHDOMAIN\tV7.1");
  EXPECT_STREQ(TQ_External<TQ_ANGLEDOMAIN>().ExternalTypeName(), "Model ANGLEDOMAIN\tV7.1");
  EXPECT_STREQ(TQ_External<TQ_SECTIONDATAMODEL>().ExternalTypeName(), "Model SECTIONDATAMODEL\tV7.1");
  EXPECT_EQ(TQ_Virtual<TQ_LENGTHDOMAIN>().VirtualBaseType(), TQ_External<TQ_LENGTHDOMAIN>().ExternalTypeName());
  EXPECT_EQ(TQ_Virtual<TQ_ANGLEDOMAIN>().VirtualBaseType(), TQ_ANGLEDOMAIN::TQ_ContainerId());
  EXPECT_EQ(TQ_Virtual<TQ_SECTIONDATAMODEL>().VirtualBaseType(), TQ_SECTIONDATAMODEL::TQ_ContainerId());
  EXPECT_EQ(TQ_Virtual<TQ_DOMAIN>().VirtualBaseType(), TQ_DOMAIN::TQ_ContainerId());
  EXPECT_EQ(TQ_External<TQ_SECTIONARRAY>().ExternalTypeName(), TQ_Matrix::TQ_ContainerId());
  EXPECT_EQ(TQ_Virtual<TQ_SECTIONARRAY>().VirtualBaseType(), TQ_Matrix::TQ_ContainerId());
}

TEST_F(DomainModel, DefaultObjectsAreBuiltWholeWithoutAReference) {
  TQ_Virtual<TQ_DOMAIN> domainProperty;
  TQ_Type* made = domainProperty.NewDefaultVirtual();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->RefCount(), 0);
  EXPECT_EQ(RegisteredProperties(*made), DomainProperties());
  TQ_Type* another = domainProperty.NewDefaultVirtual();
  EXPECT_NE(another, made);
  delete made;
  delete another;

  TQ_Virtual<TQ_ANGLEDOMAIN> angleProperty;
  TQ_Type* angle = angleProperty.NewDefaultVirtual();
  ASSERT_NE(angle, nullptr);
  EXPECT_TRUE(angle->ContainerDerivesFrom("Model ANGLEDOMAIN\tV7.1"));
  delete angle;

  TQ_Virtual<TQ_SECTIONARRAY> arrayProperty;
  TQ_Type* array = arrayProperty.NewDefaultVirtual();
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(static_cast<TQ_SECTIONARRAY*>(array)->ElementCount(), 0);
  delete array;

  TQ_HeapStats::FailAllocations(1);
  EXPECT_EQ(domainProperty.NewDefaultVirtual(), nullptr);
}

TEST_F(DomainModel, SectionArrayMakesWholeSectionsOnLookup) {
  TQ_SECTIONARRAY sections;
  TQ_SECTIONDATAMODEL& third = sections(3);
  EXPECT_EQ(&sections(3), &third);
  EXPECT_EQ(third.RefCount(), 0);
  TQ_GENERICMODEL generic(true);
  EXPECT_EQ(third.PropertyCount(), generic.PropertyCount() + 10);
  EXPECT_EQ(sections.ElementCount(), 1);
}

TEST_F(DomainModel, DomainLinkLeadsToTheAttachedDomainsGrid) {
  TQ_DOMAIN& d = Make<TQ_DOMAIN>("D");
  Configure(d, "OCFE3", 2, 2);
  Run(d);
  TQ_External<TQ_DOMAIN> link;
  std::string error;
  ASSERT_TRUE(link.Attach(&d, &error)) << error;
  EXPECT_EQ(&*link, &d);
  EXPECT_EQ((*link).ENDNODE.v(), 18);
  EXPECT_EQ((*(*link).SECTION)(2).BASE.v(), 9);
  // A length domain is a domain to the link.
  TQ_LENGTHDOMAIN& length = Make<TQ_LENGTHDOMAIN>("L");
  TQ_External<TQ_DOMAIN> second;
  EXPECT_TRUE(second.Attach(&length, &error)) << error;
  link.Detach();
  second.Detach();
}

}  // namespace
