#include "modelhost_run.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <functional>
#include <ostream>
#include <set>

#include "vekexp.h"

using nlohmann::json;
using ojson = nlohmann::ordered_json;

namespace modelhost {

namespace {

const char* const kDomainId = "Model DOMAIN\tV7.1";

// Sets are listed member by member up to this many members. A larger one (bad input can make a
// range of two thousand million nodes) is given by its size and its first and last members, so
// that the report stays small enough to write.
constexpr int kMostListedMembers = 100000;

std::string MemberText(const SUValue& set, int position) {
  return set.HoldsStrings() ? "\"" + std::string(set.StringAt(position)) + "\"" : std::to_string(set.IntegerAt(position));
}

// A set as text: "{1,2,3}", or "{1,...,2147483647} (2147483647 members)".
std::string SetText(const SUValue& set) {
  const int size = set.SetSize();
  if (size <= kMostListedMembers) return set.ToString();
  return "{" + MemberText(set, 0) + ",...," + MemberText(set, size - 1) + "} (" + std::to_string(size) + " members)";
}

std::string Printable(const char* text) {
  std::string out = text ? text : "";
  for (char& c : out)
    if (c == '\t') c = ' ';
  return out;
}

// The value a property holds after the cycle, as JSON; null when it holds
// none of a number, a text or a set.
ojson ValueOf(const TQ_VarParamProp& property) {
  TQ_Value value;
  if (auto* set = dynamic_cast<const TQ_Set*>(&property)) {
    value = TQ_Value(set->v(), 0u, 0u, 0);
  } else if (property.HasValue()) {
    value = property.CurrentValue();
  } else if (auto* param = dynamic_cast<const TQ_VarParam*>(&property)) {
    value = param->InitialValue();
  }
  switch (value.Kind()) {
    case TQ_ValueKind::Integer: return value.Integer();
    case TQ_ValueKind::Real: return std::isfinite(value.Real()) ? ojson(value.Real()) : ojson(nullptr);
    case TQ_ValueKind::Text: return value.Text();
    case TQ_ValueKind::Set: {
      ojson members = ojson::array();
      const TQ_SetValue& set = value.Set();
      if (set.SetSize() > kMostListedMembers) {
        const auto member = [&set](int p) { return set.HoldsStrings() ? ojson(set.String(p)) : ojson(set.Integer(p)); };
        return ojson{{"size", set.SetSize()}, {"first", member(0)}, {"last", member(set.SetSize() - 1)}};
      }
      for (int p = 0; p < set.SetSize(); ++p) {
        if (set.HoldsStrings())
          members.push_back(set.String(p));
        else
          members.push_back(set.Integer(p));
      }
      return members;
    }
    case TQ_ValueKind::None: break;
  }
  return ojson(nullptr);
}

// Calls `visit` for every property under `item` that can hold a value, with
// its full path: virtual properties are followed to what they stand for (if
// anything), array elements are visited by key, links are not followed.
void WalkValues(TQ_Containable* item, const std::string& path, std::set<const TQ_Containable*>& seen,
                const std::function<void(const std::string&, const TQ_VarParamProp&)>& visit) {
  if (item == nullptr || !seen.insert(item).second) return;
  if (auto* array = dynamic_cast<TQ_Matrix*>(item)) {
    for (unsigned int slot = 0; slot < array->ElementVector.Elements(); ++slot)
      if (TQ_Type* element = array->ElementVector[slot])
        WalkValues(element, path + "(" + element->Name() + ")", seen, visit);
    return;
  }
  if (auto* property = dynamic_cast<TQ_VarParamProp*>(item)) {
    if (property->ValueKind() != TQ_ValueKind::None && dynamic_cast<TQ_VirtualBase*>(item) == nullptr)
      visit(path, *property);
  }
  for (int i = 0; i < item->PropertyCount(); ++i) {
    const TQ_PropertyRecord& record = item->PropertyAt(i);
    TQ_Containable* child = record.property;
    if (dynamic_cast<TQ_ExternalBase*>(child) != nullptr) continue;
    if (auto* link = dynamic_cast<TQ_VirtualBase*>(child)) child = link->CurrentLink();
    WalkValues(child, path + "." + record.name, seen, visit);
  }
}

std::string Number(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  return buffer;
}

}  // namespace

Run::Run() { TQ_Executive::Instance().Reset(); }

Run::~Run() { TQ_Executive::Instance().Reset(); }

bool Run::LoadLibrary(const std::string& library, std::string& error) {
  m_loader.SetModelLibraryDirectory(TQ_LibraryLoader::ModuleDirectory());
  TQ_LibraryRef found = m_loader.LoadByName(library.empty() ? "Morvane230_1" : library, error);
  return found != nullptr && m_models.Load(m_loader, found->Path(), error);
}

bool Run::Configure(const json& configuration, std::string& error) {
  try {
    return ConfigureObjects(configuration, error);
  } catch (const std::bad_alloc&) {
    error = "out of memory";  // short enough to need no memory of its own
    return false;
  }
}

bool Run::ConfigureObjects(const json& configuration, std::string& error) {
  if (!configuration.is_object() || !configuration.contains("objects") || !configuration["objects"].is_array()) {
    error = "the configuration must be an object with an array \"objects\"";
    return false;
  }
  for (auto it = configuration.begin(); it != configuration.end(); ++it)
    if (it.key() != "objects") {
      error = "unknown configuration key \"" + it.key() + "\"";
      return false;
    }
  const json& objects = configuration["objects"];
  for (const json& entry : objects)
    if (!CreateObject(entry, error)) return false;
  for (const json& entry : objects)
    if (entry.contains("links") && !LinkObject(entry["name"], entry["links"], error)) return false;
  for (const json& entry : objects)
    if (entry.contains("fix") && !FixValues(entry["name"], entry["fix"], error)) return false;
  return true;
}

bool Run::CreateObject(const json& entry, std::string& error) {
  if (!entry.is_object()) {
    error = "each entry of \"objects\" must be an object";
    return false;
  }
  for (auto it = entry.begin(); it != entry.end(); ++it)
    if (it.key() != "name" && it.key() != "type" && it.key() != "links" && it.key() != "fix") {
      error = "unknown key \"" + it.key() + "\" in an object entry";
      return false;
    }
  if (!entry.contains("name") || !entry["name"].is_string() || !entry.contains("type") || !entry["type"].is_string()) {
    error = "each object needs a \"name\" and a \"type\", both texts";
    return false;
  }
  std::string name = entry["name"];
  std::string type = entry["type"];
  for (char& c : type) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
      error = "unknown type \"" + std::string(entry["type"]) + "\"";
      return false;
    }
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (type.empty()) {
    error = "object \"" + name + "\" has an empty type";
    return false;
  }
  std::string why;
  if (m_models.FindFactory(type, why) == nullptr) {
    error = "unknown type \"" + type + "\": the library has no factory " + type + "Factory";
    return false;
  }
  TQ_ModelType* object = m_models.Create(type, why);
  if (object == nullptr) {
    error = why;
    return false;
  }
  if (!TQ_Executive::Instance().AddObject(name, object, &why)) {
    object->Release();
    error = why;
    return false;
  }
  return true;
}

bool Run::LinkObject(const std::string& name, const json& links, std::string& error) {
  if (!links.is_object()) {
    error = "\"links\" of " + name + " must be an object of property: object name";
    return false;
  }
  TQ_Executive& host = TQ_Executive::Instance();
  for (auto it = links.begin(); it != links.end(); ++it) {
    if (!it.value().is_string()) {
      error = name + "." + it.key() + ": a link names an object by a text";
      return false;
    }
    std::string why;
    TQ_Containable* property = host.FindByPath(name + "." + it.key(), false, &why);
    if (property == nullptr) {
      error = why;
      return false;
    }
    TQ_ModelType* target = host.FindObject(it.value());
    if (target == nullptr) {
      error = name + "." + it.key() + ": no object named \"" + std::string(it.value()) + "\" to link to";
      return false;
    }
    auto* external = dynamic_cast<TQ_ExternalBase*>(property);
    if (external == nullptr) {
      error = name + "." + it.key() + " is not a link";
      return false;
    }
    if (!external->Attach(target, &why)) {
      error = why;
      return false;
    }
  }
  return true;
}

namespace {
bool ToValue(const json& given, TQ_Value& value, std::string& why) {
  if (given.is_boolean()) {
    value = TQ_Value(given.get<bool>() ? 1 : 0, 0u, 0u, 0);
  } else if (given.is_number_integer()) {
    long long n = given.get<long long>();
    if (n < INT_MIN || n > INT_MAX) {
      why = "an integer outside the 32-bit range";
      return false;
    }
    value = TQ_Value(static_cast<int>(n), 0u, 0u, 0);
  } else if (given.is_number_float()) {
    value = TQ_Value(given.get<double>(), 0u, 0u, 0);
  } else if (given.is_string()) {
    value = TQ_Value(given.get<std::string>().c_str(), 0u, 0u, 0);
  } else if (given.is_array()) {
    TQ_SetValue set;
    bool strings = !given.empty() && given[0].is_string();
    for (const json& member : given) {
      if (strings && member.is_string()) {
        set += member.get<std::string>().c_str();
      } else if (!strings && member.is_number_integer() && member.get<long long>() >= INT_MIN &&
                 member.get<long long>() <= INT_MAX) {
        set += static_cast<int>(member.get<long long>());
      } else {
        why = "a set whose members are not all texts or all integers";
        return false;
      }
    }
    if (given.empty()) set.ResetType(TQ_SET_ANY);
    value = TQ_Value(set, 0u, 0u, 0);
  } else {
    why = "a value that is neither a number, a text nor a set";
    return false;
  }
  return true;
}
}  // namespace

bool Run::FixValues(const std::string& name, const json& fixes, std::string& error) {
  if (!fixes.is_object()) {
    error = "\"fix\" of " + name + " must be an object of path: value";
    return false;
  }
  TQ_Executive& host = TQ_Executive::Instance();
  for (auto it = fixes.begin(); it != fixes.end(); ++it) {
    std::string path = name + "." + it.key();
    std::string why;
    TQ_Containable* target = host.FindByPath(path, true, &why);
    if (target == nullptr) {
      error = why;
      return false;
    }
    auto* property = dynamic_cast<TQ_VarParamProp*>(target);
    if (property == nullptr || property->ValueKind() == TQ_ValueKind::None) {
      error = path + " holds no value to fix";
      return false;
    }
    TQ_Value value;
    if (!ToValue(it.value(), value, why) || property->Fix(value, &why) != TQ_ASSIGN_DONE) {
      error = path + ": " + why;
      return false;
    }
  }
  return true;
}

bool Run::Cycle() {
  TQ_Executive& host = TQ_Executive::Instance();
  bool ok = host.RunCycle();
  try {
    m_matches = host.DeclaredMatchesEmitted(&m_difference);
    if (!m_matches) {
      host.ReportError("declared and emitted equations differ: " + m_difference);
      ok = false;
    }
    m_errors = host.Errors();
  } catch (const std::bad_alloc&) {
    // The host's messages stay where they are, and Errors() says so.
    m_matches = false;
    host.ReportError("the equations could not be compared: out of memory");
    m_errors.clear();
    m_lostErrors = true;
    ok = false;
  }
  // A model that met bad input reports it and goes on with a defined result;
  // the run still counts as failed.
  return ok && m_errors.empty();
}

namespace {
int GroupsUsed(const TQ_Executive& host) {
  std::set<int> groups;
  for (const TQ_DeclaredEquation& e : host.Declared()) groups.insert(e.group);
  return static_cast<int>(groups.size());
}
}  // namespace

void Run::WriteText(std::ostream& out) const {
  TQ_Executive& host = TQ_Executive::Instance();
  out << "objects " << host.ObjectCount() << ", equations " << host.Emitted().size() << ", non-zeros "
      << host.PatternEntriesWritten() << ", groups used " << GroupsUsed(host) << "\n";
  for (int i = 0; i < host.ObjectCount(); ++i) {
    TQ_ModelType* object = host.ObjectAt(i);
    const std::string& name = host.ObjectNameAt(i);
    out << "\n" << name << ": " << Printable(object->TQ_DefaultDESCRIPTION()) << "\n";
    if (object->ContainerDerivesFrom(kDomainId)) {
      std::string why;
      auto integer = [&](const std::string& path) {
        auto* p = dynamic_cast<TQ_INTEGERPARAMETER*>(host.FindByPath(path, false, &why));
        return p ? std::to_string(p->v()) : std::string("?");
      };
      auto real = [&](const std::string& path) {
        auto* p = dynamic_cast<TQ_REALPARAMETER*>(host.FindByPath(path, false, &why));
        return p ? Number(p->v()) : std::string("?");
      };
      auto* sections = dynamic_cast<TQ_INTEGERPARAMETER*>(host.FindByPath(name + ".NUMSECTIONS", false, &why));
      int count = sections ? sections->v() : 0;
      for (int s = 1; s <= count; ++s) {
        std::string section = name + ".SECTION(" + std::to_string(s) + ")";
        out << "  section " << s << ": BASE " << integer(section + ".BASE") << ", NODECOUNT "
            << integer(section + ".NODECOUNT") << ", NUMELEMENTS " << integer(section + ".NUMELEMENTS")
            << ", SPACINGUSED " << real(section + ".SPACINGUSED") << ", ELEMENTLENGTH "
            << real(section + ".ELEMENTLENGTH") << "\n";
      }
      if (auto* nodes = dynamic_cast<TQ_Matrix*>(host.FindByPath(name + ".VALUE", false, &why))) {
        out << "  nodes:";
        for (unsigned int slot = 0; slot < nodes->ElementVector.Elements(); ++slot)
          if (auto* node = dynamic_cast<TQ_REALPARAMETER*>(nodes->ElementVector[slot]))
            out << " " << node->Name() << "=" << Number(node->v());
        out << "\n";
      }
      if (auto* interior = dynamic_cast<TQ_Set*>(host.FindByPath(name + ".INTERIOR", false, &why)))
        out << "  INTERIOR " << SetText(interior->v()) << "\n";
    }
    for (const TQ_EmittedEquation& equation : host.Emitted()) {
      if (equation.owner != object) continue;
      std::size_t index = static_cast<std::size_t>(&equation - host.Emitted().data());
      out << "  [" << index << "] " << host.EquationName(equation) << " (group " << equation.group
          << "): " << host.Infix(equation) << " = 0\n";
    }
  }
}

void Run::WriteJsonLines(std::ostream& out) const {
  TQ_Executive& host = TQ_Executive::Instance();
  for (int i = 0; i < host.ObjectCount(); ++i) {
    ojson line = {{"kind", "object"}, {"name", host.ObjectNameAt(i)}, {"type", host.ObjectAt(i)->TQ_DefaultDESCRIPTION()}};
    out << line.dump() << "\n";
  }
  std::set<const TQ_Containable*> seen;
  for (int i = 0; i < host.ObjectCount(); ++i) {
    WalkValues(host.ObjectAt(i), host.ObjectNameAt(i), seen, [&](const std::string& path, const TQ_VarParamProp& p) {
      ojson value = ValueOf(p);
      if (!value.is_null()) out << ojson{{"kind", "value"}, {"path", path}, {"value", value}}.dump() << "\n";
    });
  }
  const auto& emitted = host.Emitted();
  const auto& declared = host.Declared();
  const auto& items = host.Items();
  for (std::size_t e = 0; e < emitted.size(); ++e) {
    const TQ_EmittedEquation& equation = emitted[e];
    ojson program = ojson::array();
    for (std::uint32_t k = 0; k < equation.itemCount; ++k) {
      const TQ_ProgramItem& item = items[equation.firstItem + k];
      switch (item.kind) {
        case TQ_ProgramItem::Op: program.push_back({"op", item.code}); break;
        case TQ_ProgramItem::Integer: program.push_back({"int", item.code}); break;
        case TQ_ProgramItem::Real: program.push_back({"real", item.real}); break;
        case TQ_ProgramItem::Term: program.push_back({"var", host.PathOf(item.term)}); break;
      }
    }
    ojson line = {{"kind", "equation"}, {"object", host.PathOf(equation.owner)}, {"index", e},
                 {"name", host.EquationName(equation)}, {"group", equation.group}, {"program", program}};
    if (e < declared.size()) {
      ojson terms = ojson::array();
      for (std::uint32_t k = 0; k < declared[e].nonZeroCount; ++k)
        terms.push_back(host.PathOf(host.DeclaredNonZeros()[declared[e].firstNonZero + k]));
      line["declared"] = terms;
      line["declared_group"] = declared[e].group;
    }
    out << line.dump() << "\n";
  }
  ojson summary = {{"kind", "summary"},
                  {"objects", host.ObjectCount()},
                  {"equations", emitted.size()},
                  {"declared_equations", declared.size()},
                  {"nonzeros", host.PatternEntriesWritten()},
                  {"groups", GroupsUsed(host)},
                  {"declared_matches_emitted", m_matches},
                  {"errors", m_errors}};
  out << summary.dump() << "\n";
}

}  // namespace modelhost
