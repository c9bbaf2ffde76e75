// Objects by name and path, and links: external links that take an object of
// one type, virtual properties that stand for a linked object or make a
// default one on first use, and references to global structures by name.
#include <string>
#include <vector>

#include "host_fixture.h"

namespace {

constexpr const char* kTwoEquationId = "Model TWOEQUATION\tV7.1";

// A virtual property that stands for an array, made on first use.
class ArrayVirtual : public TQ_VirtualBase {
 public:
  explicit ArrayVirtual(TQ_Type* owner) : TQ_VirtualBase(owner) {}
  TQ_Type* NewDefaultVirtual() override {
    ++made;
    return new RealArrayI;
  }
  int made = 0;
};

// A virtual property over a model type.
class ModelVirtual : public TQ_VirtualBase {
 public:
  explicit ModelVirtual(TQ_Type* owner) : TQ_VirtualBase(owner) {}
  TQ_Type* NewDefaultVirtual() override {
    ++made;
    return new TwoEquationModel;
  }
  const char* VirtualBaseType() override { return kTwoEquationId; }
  int made = 0;
};

class Holder : public TQ_ModelTypeEx2 {
 public:
  Holder() : XDOMAIN(this), VALUE(this), SUB(this), NODEF(this), GS(this) {
    N.AddProperty(this, "N", nullptr, TQ_DIR_NONE, false);
    XDOMAIN.AddProperty(this, "XDOMAIN", nullptr, TQ_DIR_NONE, false);
    VALUE.AddProperty(this, "VALUE", nullptr, TQ_DIR_NONE, false);
    SUB.AddProperty(this, "SUB", nullptr, TQ_DIR_NONE, false);
    NODEF.AddProperty(this, "NODEF", nullptr, TQ_DIR_NONE, false);
    S.AddProperty(this, "S", nullptr, TQ_DIR_NONE, false);
    GS.AddProperty(this, "GS", nullptr, TQ_DIR_NONE, false);
  }
  TQ_INTEGERPARAMETER N;
  LinkingModel::DomainLink XDOMAIN;
  ArrayVirtual VALUE;
  ModelVirtual SUB;
  TQ_VirtualBase NODEF;
  RealArrayS S;
  TQ_GlobalStructureRefBase GS;
};

class Paths : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    domain = Add<TwoEquationModel>("D");
    holder = Add<Holder>("H");
  }
  TQ_Containable* Find(const std::string& path, bool create = false) {
    error.clear();
    return Host().FindByPath(path, create, &error);
  }
  TwoEquationModel* domain = nullptr;
  Holder* holder = nullptr;
  std::string error;
};

// ---- objects by name ---------------------------------------------------------------

TEST_F(Paths, ObjectsAreFoundByNameWithoutLetterCase) {
  EXPECT_EQ(Host().FindObject("H"), holder);
  EXPECT_EQ(Host().FindObject("d"), domain);
  EXPECT_EQ(Host().FindObject("X"), nullptr);
  EXPECT_EQ(Host().ObjectCount(), 2);
  EXPECT_EQ(Host().ObjectNameAt(1), "H");
}

TEST_F(Paths, ManyObjectsAreEachFoundByTheirOwnNameInEitherCase) {
  // Names that differ only in their digits or in letter case; a reset forgets them all.
  std::vector<TQ_ModelType*> made;
  for (int i = 0; i < 5000; ++i) made.push_back(Add<TwoEquationModel>(("Obj_" + std::to_string(i)).c_str()));
  for (int i = 0; i < 5000; i += 7) {
    EXPECT_EQ(Host().FindObject("OBJ_" + std::to_string(i)), made[static_cast<std::size_t>(i)]);
    EXPECT_EQ(Host().FindObject("obj_" + std::to_string(i)), made[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(Host().FindObject("Obj_5000"), nullptr);
  EXPECT_EQ(Host().FindObject("Obj_0 "), nullptr);
  auto* spare = new TwoEquationModel;
  spare->AddRef();
  EXPECT_FALSE(Host().AddObject("OBJ_4999", spare));
  spare->Release();
  EXPECT_EQ(Host().ObjectCount(), 5002);
  Host().Reset();
  EXPECT_EQ(Host().FindObject("Obj_1"), nullptr);
  EXPECT_EQ(Host().FindObject("H"), nullptr);
}

TEST_F(Paths, AddObjectRefusesBadNamesAndTakesNothingOver) {
  auto* spare = new TwoEquationModel;
  spare->AddRef();
  std::string why;
  EXPECT_FALSE(Host().AddObject("h", spare, &why));
  EXPECT_NE(why.find("exists already"), std::string::npos) << why;
  EXPECT_FALSE(Host().AddObject("", spare, &why));
  EXPECT_FALSE(Host().AddObject("A.B", spare, &why));
  EXPECT_NE(why.find("only letters, digits and '_'"), std::string::npos) << why;
  EXPECT_FALSE(Host().AddObject("X", nullptr, &why));
  EXPECT_EQ(Host().ObjectCount(), 2);
  EXPECT_EQ(spare->RefCount(), 1);
  spare->Release();
}

// ---- properties ------------------------------------------------------------------------

TEST_F(Paths, AddPropertyKeepsAnOrderedListPerOwner) {
  ASSERT_EQ(domain->PropertyCount(), 3);
  const TQ_PropertyRecord& x = domain->PropertyAt(0);
  const TQ_PropertyRecord& y = domain->PropertyAt(1);
  EXPECT_EQ(x.property, &domain->X);
  EXPECT_STREQ(x.name, "X");
  EXPECT_EQ(x.description, nullptr);
  EXPECT_EQ(x.direction, TQ_DIR_NONE);
  EXPECT_FALSE(x.flag);
  EXPECT_STREQ(y.description, "the second variable");
  EXPECT_EQ(y.direction, TQ_DIR_OUTPUT);
  EXPECT_STREQ(domain->PropertyAt(2).name, "H");
  EXPECT_EQ(domain->PropertyAt(2).direction, TQ_DIR_INPUT);
  EXPECT_EQ(domain->Y.Owner(), domain);
  EXPECT_EQ(domain->FindProperty("y"), &domain->Y);
  EXPECT_EQ(domain->FindProperty("Z"), nullptr);
  EXPECT_EQ(holder->PropertyAt(1).property, &holder->XDOMAIN);
}

TEST_F(Paths, MarksAreSetOnThePropertyAddPropertyReturned) {
  class Marked : public TQ_ModelTypeEx2 {
   public:
    Marked() {
      INPUTSIGNAL.AddProperty(this, "INPUTSIGNAL", nullptr, TQ_DIR_INPUT, false)->UnsetIsToBeExported();
      SOURCE.AddProperty(this, "SOURCE", nullptr, TQ_DIR_NONE, false)->HostPortType(4);
    }
    TQ_PortTypeEx INPUTSIGNAL;
    TQ_PortTypeEx SOURCE;
  } marked;
  EXPECT_FALSE(marked.INPUTSIGNAL.IsToBeExported());
  EXPECT_EQ(marked.INPUTSIGNAL.HostPortType(), 0);
  EXPECT_TRUE(marked.SOURCE.IsToBeExported());
  EXPECT_EQ(marked.SOURCE.HostPortType(), 4);
  EXPECT_EQ(marked.INPUTSIGNAL.Direction(), TQ_DIR_INPUT);
}

// ---- paths ---------------------------------------------------------------------------

TEST_F(Paths, PathOfNamesObjectsPropertiesAndElements) {
  EXPECT_EQ(Host().PathOf(holder), "H");
  EXPECT_EQ(Host().PathOf(&holder->N), "H.N");
  EXPECT_EQ(Host().PathOf(&domain->Y), "D.Y");
  EXPECT_EQ(Host().PathOf(holder->S.Find("a b")), "H.S(\"a b\")");
  EXPECT_EQ(Host().PathOf(nullptr), "(none)");
  TQ_REALVARIABLE loose;
  EXPECT_EQ(Host().PathOf(&loose), "(unnamed)");
}

TEST_F(Paths, FindByPathFollowsPropertiesAndIgnoresLetterCase) {
  EXPECT_EQ(Find("H.N"), &holder->N);
  EXPECT_EQ(Find("h.n"), &holder->N);
  EXPECT_EQ(Find("D"), domain);
  // A link at the end of a path is the link itself.
  EXPECT_EQ(Find("H.XDOMAIN"), &holder->XDOMAIN);
}

TEST_F(Paths, LinksAreFollowedInsideAPath) {
  EXPECT_EQ(Find("H.XDOMAIN.H"), nullptr);
  EXPECT_NE(error.find("link H.XDOMAIN has no object attached"), std::string::npos) << error;
  ASSERT_TRUE(holder->XDOMAIN.Attach(domain));
  EXPECT_EQ(Find("H.XDOMAIN.H"), &domain->H) << error;
  EXPECT_EQ(Host().PathOf(Find("H.XDOMAIN.H")), "D.H");
}

TEST_F(Paths, VirtualPropertiesAreFollowedToWhatTheyStandFor) {
  TQ_Containable* x = Find("H.SUB.X");
  ASSERT_NE(x, nullptr) << error;
  EXPECT_EQ(Host().PathOf(x), "H.SUB.X");
  EXPECT_EQ(Find("H.SUB.Y"), &static_cast<TwoEquationModel*>(holder->SUB.CurrentLink())->Y);
  EXPECT_EQ(holder->SUB.made, 1);

  EXPECT_EQ(Find("H.NODEF.X"), nullptr);
  EXPECT_NE(error.find("H.NODEF has nothing linked and no default object could be made"), std::string::npos) << error;
}

TEST_F(Paths, ArrayElementsAreFoundByKeyAndMadeOnRequest) {
  EXPECT_EQ(Find("H.VALUE(3)"), nullptr);
  EXPECT_NE(error.find("H.VALUE has no element (3)"), std::string::npos) << error;
  TQ_Containable* three = Find("H.VALUE(3)", true);
  ASSERT_NE(three, nullptr) << error;
  EXPECT_EQ(Find("H.VALUE( 3 )"), three);
  EXPECT_EQ(Host().PathOf(three), "H.VALUE(3)");
  EXPECT_EQ(Find("H.VALUE"), holder->VALUE.CurrentLink());

  TQ_Containable* ab = Find("H.S(\"a.b (c)\")", true);
  ASSERT_NE(ab, nullptr) << error;
  EXPECT_EQ(Host().PathOf(ab), "H.S(\"a.b (c)\")");
  EXPECT_EQ(Find(Host().PathOf(ab)), ab);
}

TEST_F(Paths, BadPathsGiveClearErrors) {
  struct Case {
    const char* path;
    const char* message;
  };
  for (const Case& c : {Case{"", "malformed path"},
                        Case{"H..N", "malformed path"},
                        Case{"H.", "malformed path"},
                        Case{"H.N(", "malformed path"},
                        Case{"H.N)", "malformed path"},
                        Case{"H.S(\"a)", "malformed path"},
                        Case{"Q.N", "no object named \"Q\""},
                        Case{"H.NOPE", "\"H\" has no property NOPE"},
                        Case{"H.N(1)", "H.N is not an array"},
                        Case{"H.N.X", "\"H.N\" has no property X"},
                        Case{"H.VALUE()", "malformed index"},
                        Case{"H.VALUE(1)x", "malformed index"},
                        Case{"H.VALUE(1)(2)", "malformed index"},
                        Case{"H.VALUE(1,2)", "has no element (1,2)"},
                        Case{"H.VALUE(x)", "has no element (x)"}}) {
    EXPECT_EQ(Find(c.path, true), nullptr) << c.path;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.path << ": " << error;
  }
  // Nothing was made on the way.
  EXPECT_EQ(static_cast<TQ_Matrix*>(holder->VALUE.VirtualLink())->ElementCount(), 0);
}

// ---- external links ------------------------------------------------------------------

TEST_F(Paths, AnExternalLinkTakesOnlyObjectsOfItsType) {
  auto* other = Add<LinkingModel>("OTHER");
  std::string why;
  EXPECT_FALSE(holder->XDOMAIN.Attach(other, &why));
  EXPECT_NE(why.find("OTHER is not of type Model TWOEQUATION V7.1 that link H.XDOMAIN takes"), std::string::npos)
      << why;
  EXPECT_EQ(other->RefCount(), 1);
  EXPECT_FALSE(holder->XDOMAIN.Attach(nullptr, &why));
  EXPECT_FALSE(holder->XDOMAIN.IsAttached());

  ASSERT_TRUE(holder->XDOMAIN.Attach(domain, &why)) << why;
  EXPECT_EQ(&holder->XDOMAIN.ExternalLinkChecked(), domain);
  auto* second = Add<TwoEquationModel>("D2");
  ASSERT_TRUE(holder->XDOMAIN.Attach(second));
  EXPECT_EQ(domain->RefCount(), 1) << "the link let go of the first domain";
  EXPECT_EQ(second->RefCount(), 2);
}

TEST_F(Paths, ALinkToAMemberOrAnElementRefersToItWithoutOwningIt) {
  // A section links to a parameter of its domain; parameters are members of
  // their model, elements belong to their array: no reference owns them, and
  // a link that lets go of one must not destroy it.
  const auto live = TQ_HeapStats::LiveBlocks();
  TQ_ExternalBase link(nullptr);  // a link that takes any object
  ASSERT_TRUE(link.Attach(&domain->H));
  EXPECT_EQ(domain->H.RefCount(), 0);
  link.Detach();
  TQ_Value two(2.0, 1u, 9u, 1);
  EXPECT_EQ(domain->H.Assign(&two), TQ_ASSIGN_DONE);
  EXPECT_EQ(domain->H.v(), 2.0);

  TQ_Type* element = holder->S.Find("e");
  {
    TQ_ExternalBase toElement(nullptr);
    ASSERT_TRUE(toElement.Attach(element));
    TQ_ExternalBase copy(toElement);
    TQ_ExternalBase assigned(nullptr);
    assigned = copy;
    EXPECT_EQ(assigned.ExternalLink(), element);
  }
  EXPECT_EQ(holder->S.ElementCount(), 1);
  EXPECT_EQ(holder->S.ElementByText("e"), element);

  ASSERT_TRUE(holder->VALUE.Link(&domain->X));
  holder->VALUE.Unlink();
  EXPECT_EQ(domain->X.v(), 0.0);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1) << "only the element was made";

  // An object that references own is held by one while linked.
  ASSERT_TRUE(link.Attach(domain));
  EXPECT_EQ(domain->RefCount(), 2);
  ASSERT_TRUE(link.Attach(&domain->Y));
  EXPECT_EQ(domain->RefCount(), 1);
}

TEST_F(Paths, FollowingAnEmptyExternalLinkThrowsALinkError) {
  try {
    holder->XDOMAIN.ExternalLinkChecked();
    ADD_FAILURE() << "no TQ_LinkError";
  } catch (const TQ_LinkError& e) {
    EXPECT_NE(std::string(e.what()).find("link H.XDOMAIN has no object attached"), std::string::npos) << e.what();
  }
}

// ---- virtual properties ------------------------------------------------------------------

TEST_F(Paths, TheDefaultObjectIsMadeOnceOnFirstUseAndOwned) {
  EXPECT_EQ(holder->SUB.CurrentLink(), nullptr);
  EXPECT_EQ(holder->SUB.made, 0) << "nothing is made before it is needed";
  const auto live = TQ_HeapStats::LiveBlocks();
  TQ_Type* first = holder->SUB.VirtualLink();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(holder->SUB.VirtualLink(), first);
  EXPECT_EQ(holder->SUB.made, 1);
  EXPECT_TRUE(holder->SUB.HoldsDefault());
  EXPECT_EQ(first->RefCount(), 1);
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live + 1);

  // Linking another object lets the default go.
  std::string why;
  ASSERT_TRUE(holder->SUB.Link(domain, &why)) << why;
  EXPECT_EQ(TQ_HeapStats::LiveBlocks(), live);
  EXPECT_EQ(holder->SUB.VirtualLink(), domain);
  EXPECT_FALSE(holder->SUB.HoldsDefault());
  EXPECT_EQ(domain->RefCount(), 2);

  // After Unlink a new default is made when one is needed.
  holder->SUB.Unlink();
  EXPECT_EQ(domain->RefCount(), 1);
  EXPECT_NE(holder->SUB.VirtualLink(), nullptr);
  EXPECT_EQ(holder->SUB.made, 2);
}

TEST_F(Paths, AVirtualPropertyRefusesAnObjectOfAnotherType) {
  auto* other = Add<LinkingModel>("OTHER");
  std::string why;
  EXPECT_FALSE(holder->SUB.Link(other, &why));
  EXPECT_NE(why.find("OTHER is not of type Model TWOEQUATION V7.1 that virtual property H.SUB stands for"),
            std::string::npos)
      << why;
  EXPECT_EQ(holder->SUB.CurrentLink(), nullptr);
  EXPECT_EQ(other->RefCount(), 1);
}

TEST_F(Paths, ADefaultThatCannotBeMadeIsALinkErrorAndCanBeMadeLater) {
  TQ_HeapStats::FailAllocations(1);
  try {
    holder->SUB.VirtualLink();
    ADD_FAILURE() << "no TQ_LinkError";
  } catch (const TQ_LinkError& e) {
    EXPECT_NE(std::string(e.what()).find("virtual property H.SUB has nothing linked"), std::string::npos) << e.what();
  }
  EXPECT_EQ(holder->SUB.CurrentLink(), nullptr);
  EXPECT_NE(holder->SUB.VirtualLink(), nullptr);
}

TEST_F(Paths, ACopyOfAVirtualPropertySharesItsObject) {
  TQ_Type* object = holder->VALUE.VirtualLink();
  {
    ArrayVirtual copy(holder->VALUE);
    EXPECT_EQ(copy.CurrentLink(), object);
    EXPECT_EQ(object->RefCount(), 2);
  }
  EXPECT_EQ(object->RefCount(), 1);
  EXPECT_EQ(holder->VALUE.made, 1);
}

// ---- global structures -------------------------------------------------------------------

TEST_F(Paths, AGlobalStructureReferenceResolvesItsNameAmongTheObjects) {
  TQ_Value name("d", 1u, 9u, 1);
  holder->GS.Assign(&name);
  EXPECT_EQ(holder->GS.Dereference(), domain);
  TQ_Value missing("NOPE", 1u, 9u, 2);
  holder->GS.Assign(&missing);
  try {
    holder->GS.Dereference();
    ADD_FAILURE() << "no TQ_LinkError";
  } catch (const TQ_LinkError& e) {
    EXPECT_NE(std::string(e.what()).find("global structure \"NOPE\" named by H.GS does not exist"), std::string::npos)
        << e.what();
  }
}

}  // namespace
