// The reference (docs/reference.md) held to the library and to modelhost: the
// types the library offers, every property each registers with its direction,
// the integral selectors and the discretization methods, the defaults the
// reference writes in backquotes, the JSON lines records with their program
// items and operator codes; and every link of the documents leads somewhere.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/tq_executive.h"
#include "host/tq_model_library.h"
#include "host/vekexp.h"
#include "library/export_table.h"
#include "user_runs.h"

using nlohmann::json;
using namespace user_runs;

namespace {

const std::vector<std::string>& Reference() {
  static const std::vector<std::string> lines = SplitLines(ReadText(SourcePath("docs/reference.md")));
  return lines;
}

// The types the library's export table names.
std::vector<std::string> LibraryTypes() {
  std::vector<std::string> types;
#define MORVANE_LIST_TYPE(NAME) types.push_back(#NAME);
  MORVANE_CREATABLE_TYPES(MORVANE_LIST_TYPE)
#undef MORVANE_LIST_TYPE
  return types;
}

// The columns of a property table.
enum PropertyColumn { kNames, kDirection, kKind, kSetBy, kDefault, kMeaning, kColumns };

// The property tables of the reference by type: under "## Properties of each
// type", a heading "### `DOMAIN`, `LENGTHDOMAIN`" and the table that follows it,
// which holds for each type it names.
std::map<std::string, std::vector<std::vector<std::string>>> PropertyTables() {
  std::map<std::string, std::vector<std::vector<std::string>>> tables;
  const std::vector<std::string>& lines = Reference();
  bool inside = false;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (lines[k].rfind("## ", 0) == 0) inside = lines[k] == "## Properties of each type";
    if (!inside || lines[k].rfind("### ", 0) != 0) continue;
    const auto rows = TableFrom(lines, k + 1);
    for (const std::string& type : Quoted(lines[k])) EXPECT_TRUE(tables.emplace(type, rows).second) << type;
  }
  return tables;
}

// The direction code of the reference's word for it; -1 for another word.
int DirectionCode(const std::string& word) {
  return word == "none" ? 0 : word == "input" ? 4 : word == "output" ? 8 : -1;
}

// The first word in backquotes of a cell as JSON; discarded when there is none
// or it is not JSON.
json QuotedJson(const std::string& cell) {
  const std::vector<std::string> words = Quoted(cell);
  return words.empty() ? json(json::value_t::discarded) : json::parse(words[0], nullptr, false);
}

// The built model library, loaded once for the test program as the host loads
// it: by name, beside the host layer, as modelhost finds it.
struct LoadedLibrary {
  LoadedLibrary() {
    loader.SetModelLibraryDirectory(TQ_LibraryLoader::ModuleDirectory());
    const TQ_LibraryRef found = loader.LoadByName("Morvane230_1", error);
    loaded = found != nullptr && models.Load(loader, found->Path(), error);
  }
  TQ_LibraryLoader loader;
  TQ_ModelLibrary models;
  bool loaded = false;
  std::string error;
};

class LibraryTest : public ::testing::Test {
 protected:
  static LoadedLibrary& Library() {
    static LoadedLibrary library;
    return library;
  }
  void SetUp() override { ASSERT_TRUE(Library().loaded) << Library().error; }

  // A new object of the type, made by the library's factory; the caller releases it.
  static TQ_ModelType* Create(const std::string& type) {
    std::string error;
    TQ_ModelType* object = Library().models.Create(type, error);
    EXPECT_NE(object, nullptr) << error;
    return object;
  }
  // The registration record of a property of the object; null when it has none.
  static const TQ_PropertyRecord* RecordOf(const TQ_ModelType& object, const std::string& name) {
    for (int i = 0; i < object.PropertyCount(); ++i)
      if (object.PropertyAt(i).name == name) return &object.PropertyAt(i);
    return nullptr;
  }
};

TEST_F(LibraryTest, TypesAreThoseTheLibraryOffers) {
  std::set<std::string> listed;
  for (const auto& row : TableUnder(Reference(), "## Types the library offers"))
    for (const std::string& type : Quoted(row.at(0))) EXPECT_TRUE(listed.insert(type).second) << type;
  const std::vector<std::string> types = LibraryTypes();
  EXPECT_EQ(listed, std::set<std::string>(types.begin(), types.end()));
  for (const std::string& type : listed) {
    std::string error;
    EXPECT_NE(Library().models.FindFactory(type, error), nullptr) << error;
  }
}

class TypeTest : public LibraryTest, public ::testing::WithParamInterface<std::string> {};

// The property table holds every property the type registers, each once with its
// direction, and nothing else; a link is set by "link", and an internal index set
// by "index set".
TEST_P(TypeTest, PropertyTableIsWhatTheTypeRegisters) {
  const std::string type = GetParam();
  const auto tables = PropertyTables();
  const auto table = tables.find(type);
  ASSERT_NE(table, tables.end()) << "the reference has no property table for " << type;
  std::map<std::string, const std::vector<std::string>*> documented;
  for (const auto& row : table->second) {
    ASSERT_EQ(row.size(), static_cast<std::size_t>(kColumns)) << row.at(0);
    EXPECT_NE(DirectionCode(row[kDirection]), -1) << row[kNames];
    for (const std::string& name : Quoted(row[kNames])) EXPECT_TRUE(documented.emplace(name, &row).second) << name;
  }

  TQ_ModelType* object = Create(type);
  ASSERT_NE(object, nullptr);
  std::set<std::string> registered;
  for (int i = 0; i < object->PropertyCount(); ++i) {
    const TQ_PropertyRecord& record = object->PropertyAt(i);
    registered.insert(record.name);
    const auto row = documented.find(record.name);
    if (row == documented.end()) {
      ADD_FAILURE() << type << " registers " << record.name << ", which the reference does not list";
      continue;
    }
    const std::vector<std::string>& cells = *row->second;
    EXPECT_EQ(DirectionCode(cells[kDirection]), record.direction) << type << "." << record.name;
    const bool link = dynamic_cast<TQ_ExternalBase*>(record.property) != nullptr;
    EXPECT_EQ(cells[kSetBy] == "link", link) << type << "." << record.name;
    const bool indexSet =
        dynamic_cast<TQ_Set*>(record.property) != nullptr && std::string(record.name).rfind("TQ_", 0) == 0;
    EXPECT_EQ(cells[kSetBy] == "index set", indexSet) << type << "." << record.name;
  }
  object->Release();
  for (const auto& [name, row] : documented)
    EXPECT_TRUE(registered.count(name)) << "the reference lists " << type << "." << name
                                        << ", which it does not register";
}

// A configuration that makes the type with nothing fixed (over domains with
// nothing fixed where it lies over them), and where its properties stand in the
// report. A section is made by its domain.
std::pair<json, std::string> LoneObject(const std::string& type) {
  if (type == "SECTIONDATAMODEL") return {{{"objects", {{{"name", "X"}, {"type", "DOMAIN"}}}}}, "X.SECTION(1)."};
  json objects = json::array();
  json object = {{"name", "O"}, {"type", type}};
  const std::string distribution = "DISTRIBUTION";
  const int axes = type.rfind(distribution, 0) == 0 ? type[distribution.size()] - '0' : 0;
  for (int a = 0; a < axes; ++a) {
    const std::string axis(1, "XYZ"[a]);
    objects.push_back({{"name", axis}, {"type", "DOMAIN"}});
    object["links"][axis + "DOMAIN"] = axis;
  }
  objects.push_back(object);
  return {{{"objects", objects}}, "O."};
}

// A default in backquotes is the value the property holds after a cycle of an
// object with nothing fixed.
TEST_P(TypeTest, DefaultsAreTheValuesOfAnObjectWithNothingFixed) {
  const std::string type = GetParam();
  const auto tables = PropertyTables();
  ASSERT_TRUE(tables.count(type));
  const auto [configuration, prefix] = LoneObject(type);
  const Ran ran = RunConfiguration(configuration, {"--format", "jsonl"});
  ASSERT_EQ(ran.status, 0) << ran.err;
  const std::map<std::string, json> values = ValuesByPath(JsonLines(ran.out));
  int checked = 0;
  for (const auto& row : tables.at(type)) {
    if (row.size() != kColumns || row[kDefault].rfind("`", 0) != 0) continue;
    const json expected = QuotedJson(row[kDefault]);
    ASSERT_FALSE(expected.is_discarded()) << row[kNames] << ": " << row[kDefault];
    for (const std::string& name : Quoted(row[kNames])) {
      const auto found = values.find(prefix + name);
      ASSERT_NE(found, values.end()) << prefix + name << " is not in the report";
      EXPECT_EQ(found->second, expected) << prefix + name;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Types, TypeTest, ::testing::ValuesIn(LibraryTypes()));

// The methods are the domain's valid set, and for each the reference gives what
// the domain's assignments make of it.
TEST_F(LibraryTest, MethodsAreTheDomainsAndAssignWhatTheReferenceSays) {
  const auto rows = TableUnder(Reference(), "## Discretization methods");
  TQ_ModelType* domain = Create("DOMAIN");
  ASSERT_NE(domain, nullptr);
  const auto* method = dynamic_cast<TQ_VarParam*>(domain->FindProperty("DISCRETIZATIONMETHOD"));
  ASSERT_NE(method, nullptr);
  std::set<std::string> valid;
  const TQ_SetValue& set = method->ValidSet().Set();
  for (int p = 0; p < set.SetSize(); ++p) valid.insert(set.StringAt(p));
  domain->Release();

  std::set<std::string> documented;
  json objects = json::array();
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::string name = Quoted(rows[k].at(0)).at(0);
    documented.insert(name);
    objects.push_back(
        {{"name", "M" + std::to_string(k)}, {"type", "DOMAIN"}, {"fix", {{"DISCRETIZATIONMETHOD", name}}}});
  }
  EXPECT_EQ(documented, valid);

  const Ran ran = RunConfiguration({{"objects", objects}}, {"--format", "jsonl"});
  ASSERT_EQ(ran.status, 0) << ran.err;
  const std::map<std::string, json> values = ValuesByPath(JsonLines(ran.out));
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::vector<std::string>& row = rows[k];
    ASSERT_EQ(row.size(), 5u);
    const std::string domainName = "M" + std::to_string(k);
    json points = json::array();
    for (int p = 1; values.count(domainName + ".POLYPOINT(" + std::to_string(p) + ")"); ++p)
      points.push_back(values.at(domainName + ".POLYPOINT(" + std::to_string(p) + ")"));
    EXPECT_EQ(values.at(domainName + ".NUMPOLYPOINTS"), QuotedJson(row[2])) << row[0];
    EXPECT_EQ(points, QuotedJson(row[3])) << row[0];
    EXPECT_EQ(values.at(domainName + ".MINNODECOUNT"), QuotedJson(row[4])) << row[0];
  }
}

// Each distribution computes the integral selectors that its INTEGRALS property
// names when it registers ("Valid values: idx, idy, idxdy").
TEST_F(LibraryTest, IntegralSelectorsAreThoseEachDistributionNames) {
  std::set<std::string> documented;
  for (const auto& row : TableUnder(Reference(), "## Integrals")) {
    const std::string type = Quoted(row.at(0)).at(0);
    documented.insert(type);
    TQ_ModelType* object = Create(type);
    ASSERT_NE(object, nullptr);
    const TQ_PropertyRecord* integrals = RecordOf(*object, "INTEGRALS");
    ASSERT_TRUE(integrals != nullptr && integrals->description != nullptr) << type;
    static const std::regex kValid("Valid values?: (.*)");
    std::smatch named;
    const std::string description = integrals->description;
    ASSERT_TRUE(std::regex_search(description, named, kValid)) << description;
    std::vector<std::string> selectors;
    const std::string list = named[1];
    for (std::size_t at = 0; at <= list.size();) {
      const std::size_t comma = std::min(list.find(", ", at), list.size());
      selectors.push_back(list.substr(at, comma - at));
      at = comma + 2;
    }
    EXPECT_EQ(Quoted(row.at(1)), selectors) << type;
    object->Release();
  }
  std::set<std::string> distributions;
  for (const std::string& type : LibraryTypes())
    if (type.rfind("DISTRIBUTION", 0) == 0) distributions.insert(type);
  EXPECT_EQ(documented, distributions);
}

// The records of the reports (the default model's and every example's) have
// the fields the reference lists, their programs hold the item kinds it lists,
// and each program reads as one expression when every operator takes as many
// operands as the reference says; its codes are the host's.
TEST(ReportReference, RecordsItemsAndOperatorsAreThoseOfTheReports) {
  std::map<std::string, std::set<std::string>> fields;
  for (const auto& row : TableUnder(Reference(), "### JSON lines"))
    fields[Quoted(row.at(0)).at(0)].insert(Quoted(row.at(1)).at(0));
  std::set<std::string> items;
  for (const auto& row : TableUnder(Reference(), "#### Program items")) items.insert(Quoted(row.at(0)).at(0));
  std::map<int, int> operands;
  for (const auto& row : TableUnder(Reference(), "#### Operator codes"))
    operands[std::stoi(Quoted(row.at(0)).at(0))] = std::stoi(row.at(1));
  EXPECT_EQ(operands,
            (std::map<int, int>{
                {EOp_Root, 1}, {EOp_Plus, 2}, {EOp_Minus, 2}, {EOp_Times, 2}, {EOp_Divide, 2}, {EOp_Square, 1}}));

  std::vector<std::vector<std::string>> runs = {{"--format", "jsonl"}};
  for (const std::string& file : ExampleFiles()) runs.push_back({"--config", file, "--format", "jsonl"});
  std::map<std::string, std::set<std::string>> seenFields;
  std::set<std::string> seenItems;
  for (const auto& arguments : runs) {
    const Ran ran = RunModelhost(arguments);
    ASSERT_EQ(ran.status, 0) << ran.err;
    for (const json& record : JsonLines(ran.out)) {
      for (const auto& [field, value] : record.items()) seenFields[record["kind"]].insert(field);
      if (record["kind"] != "equation") continue;
      // Prefix order: every item fills one place and an operator opens as many as it takes.
      int open = 1;
      for (const json& item : record["program"]) {
        seenItems.insert(item.at(0).get<std::string>());
        ASSERT_GT(open, 0) << record.dump() << ": items beyond the expression";
        --open;
        if (item.at(0) == "op") {
          const auto code = operands.find(item.at(1).get<int>());
          ASSERT_NE(code, operands.end()) << item;
          open += code->second;
        }
      }
      EXPECT_EQ(open, 0) << record.dump() << ": operands missing";
    }
  }
  EXPECT_EQ(seenFields, fields);
  EXPECT_EQ(seenItems, items);
}

// GitHub's anchor of a heading: lower case, blanks as '-', other punctuation dropped.
std::string Anchor(const std::string& heading) {
  std::string anchor;
  for (char c : heading.substr(heading.find(' ') + 1)) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')
      anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    else if (c == ' ')
      anchor += '-';
  }
  return anchor;
}

// The anchors of a Markdown file's headings (code blocks left out).
std::set<std::string> Anchors(const std::string& file) {
  std::set<std::string> anchors;
  bool code = false;
  for (const std::string& line : SplitLines(ReadText(file))) {
    if (line.rfind("```", 0) == 0) code = !code;
    if (!code && line.rfind("#", 0) == 0) anchors.insert(Anchor(line));
  }
  return anchors;
}

TEST(Documents, EveryLinkLeadsToAFileAndHeadingThatExist) {
  std::vector<std::string> documents = {"README.md"};
  for (const auto& entry : std::filesystem::directory_iterator(SourcePath("docs")))
    if (entry.path().extension() == ".md") documents.push_back("docs/" + entry.path().filename().string());
  static const std::regex kLink(R"(\]\(([^)\s]+)\))");
  int links = 0;
  for (const std::string& document : documents) {
    const std::string text = ReadText(SourcePath(document));
    EXPECT_FALSE(text.empty()) << document;
    for (std::sregex_iterator it(text.begin(), text.end(), kLink), end; it != end; ++it) {
      const std::string target = (*it)[1];
      if (target.rfind("http", 0) == 0) continue;
      const std::size_t hash = target.find('#');
      const std::string file = target.substr(0, hash);
      const std::filesystem::path path = file.empty()
                                             ? std::filesystem::path(SourcePath(document))
                                             : std::filesystem::path(SourcePath(document)).parent_path() / file;
      ++links;
      EXPECT_TRUE(std::filesystem::exists(path)) << document << " links to " << target;
      if (hash != std::string::npos) {
        EXPECT_TRUE(Anchors(path.string()).count(target.substr(hash + 1))) << document << " links to " << target;
      }
    }
  }
  EXPECT_GT(links, 0);
}

}  // namespace
