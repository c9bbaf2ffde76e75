#include "modelhost_run.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "host/tq_executive.h"
#include "host/vekexp.h"

using nlohmann::json;
using ojson = nlohmann::ordered_json;

namespace modelhost {

bool ParseConfiguration(std::string_view text,
                        const std::string& source,
                        nlohmann::json& configuration,
                        std::string& error) {
  try {
    configuration = nlohmann::json::parse(text);
    return true;
  } catch (const nlohmann::json::out_of_range& e) {
    error = source + " holds a number too large for a double: " + e.what();
  } catch (const nlohmann::json::exception& e) {
    error = source + " is not valid JSON: " + e.what();
  }
  return false;
}

namespace {

const char* const kDomainId = "Model DOMAIN\tV7.1";

// Sets are listed member by member up to this many members. A larger one (bad input can make a
// range of two thousand million nodes) is written by its runs of consecutive members, so that the
// report grows with the runs, not the members: an integer set as "{1,...,5,9,...,2147483647}
// (2147483644 members)" in text and {"size","first","last","runs":[[lo,hi],...]} in JSON, "runs"
// given when there is more than one (a single run is its first and last members); a set of texts
// by its size and its first and last members.
constexpr int kMostListedMembers = 100000;

std::string MemberText(const SUValue& set, int position) {
  return set.HoldsStrings() ? "\"" + std::string(set.StringAt(position)) + "\""
                            : std::to_string(set.IntegerAt(position));
}

// A set as text: "{1,2,3}", or for a large one its runs, "{1,...,5,9,...,2147483647} (2147483644
// members)", a run of one member written as that member.
std::string SetText(const SUValue& set) {
  const int size = set.SetSize();
  if (size <= kMostListedMembers) return set.ToString();
  std::string text = "{";
  if (set.HoldsStrings()) {
    text += MemberText(set, 0) + ",...," + MemberText(set, size - 1);
  } else {
    for (int r = 0; r < set.RunCount(); ++r) {
      int lo = 0, hi = 0;
      set.RunAt(r, lo, hi);
      if (r > 0) text += ',';
      text += std::to_string(lo);
      if (hi != lo) text += (hi == lo + 1 ? "," : ",...,") + std::to_string(hi);
    }
  }
  return text + "} (" + std::to_string(size) + " members)";
}

std::string Printable(const char* text) {
  std::string out = text ? text : "";
  for (char& c : out)
    if (c == '\t') c = ' ';
  return out;
}

// Writes JSON text straight into a buffer that goes to the stream in large blocks: one line after
// another, without a document per line. Numbers and strings come out as the JSON library writes
// them (shortest round-trip reals, non-finite reals as null, the same escapes).
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : m_out(out), m_buffer(new char[kBlock]), m_end(m_buffer.get()) {}
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;
  ~JsonWriter() { Flush(); }

  JsonWriter& Raw(std::string_view text) {
    if (text.size() > Room()) {
      Flush();
      if (text.size() > kBlock) {
        m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return *this;
      }
    }
    std::memcpy(m_end, text.data(), text.size());
    m_end += text.size();
    return *this;
  }
  JsonWriter& Char(char c) {
    if (Room() == 0) Flush();
    *m_end++ = c;
    return *this;
  }
  JsonWriter& Integer(long long value) {
    if (Room() < 24) Flush();
    m_end = std::to_chars(m_end, m_end + 24, value).ptr;
    return *this;
  }
  JsonWriter& Real(double value) {
    if (!std::isfinite(value)) return Raw("null");
    if (Room() < 64) Flush();
    m_end = nlohmann::detail::to_chars(m_end, m_end + 64, value);
    return *this;
  }
  // A string made of the parts, one after the other.
  JsonWriter& String(std::initializer_list<std::string_view> parts) {
    std::size_t length = 2;
    bool care = false;
    for (std::string_view part : parts) {
      length += part.size();
      care = care || AnyNeedsCare(part);
    }
    if (care) return Escaped(parts);
    if (length > Room()) {
      Flush();
      if (length > kBlock) return Escaped(parts);
    }
    *m_end++ = '"';
    for (std::string_view part : parts) {
      std::memcpy(m_end, part.data(), part.size());
      m_end += part.size();
    }
    *m_end++ = '"';
    return *this;
  }
  JsonWriter& String(std::string_view text) { return String({text}); }
  // Ends a line.
  void EndLine() { Char('\n'); }
  void Flush() {
    m_out.write(m_buffer.get(), m_end - m_buffer.get());
    m_end = m_buffer.get();
  }

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  std::size_t Room() const { return kBlock - static_cast<std::size_t>(m_end - m_buffer.get()); }
  // A character written other than as itself, or one outside ASCII.
  static bool NeedsCare(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte >= 0x80 || c == '"' || c == '\\';
  }
  // Whether any character of the text needs care, eight at a time (every path, name and string of
  // the report passes here): a byte below 0x20 or from 0x80 on, a quote or a backslash.
  static bool AnyNeedsCare(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    // The high bit of each byte of v that is zero (exact as a whole: nonzero iff one is).
    auto zeroBytes = [](std::uint64_t v) { return (v - kOnes) & ~v & kHigh; };
    std::size_t k = 0;
    for (; k + 8 <= text.size(); k += 8) {
      std::uint64_t x;
      std::memcpy(&x, text.data() + k, sizeof x);
      const std::uint64_t below = (x - 0x20 * kOnes) & ~x & kHigh;  // a byte below 0x20 (among those below 0x80)
      if ((below | (x & kHigh) | zeroBytes(x ^ ('"' * kOnes)) | zeroBytes(x ^ ('\\' * kOnes))) != 0) return true;
    }
    for (; k < text.size(); ++k) {
      if (NeedsCare(text[k])) return true;
    }
    return false;
  }
  JsonWriter& Escaped(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    for (char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        // Other than ASCII: the library checks the UTF-8 and writes it.
        return Raw(ojson(text).dump());
      }
    }
    Char('"');
    for (char c : text) {
      switch (c) {
        case '"':
          Raw("\\\"");
          break;
        case '\\':
          Raw("\\\\");
          break;
        case '\b':
          Raw("\\b");
          break;
        case '\t':
          Raw("\\t");
          break;
        case '\n':
          Raw("\\n");
          break;
        case '\f':
          Raw("\\f");
          break;
        case '\r':
          Raw("\\r");
          break;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            Raw(escape);
          } else {
            Char(c);
          }
      }
    }
    return Char('"');
  }

  std::ostream& m_out;
  std::unique_ptr<char[]> m_buffer;
  char* m_end;
};

// The paths of array elements and other properties, as the executive's PathOf gives them, with
// the path of each owner made once: an equation names the same few arrays again and again.
class PathCache {
 public:
  explicit PathCache(const TQ_Executive& host) : m_host(host) {}

  // Writes the path of `item` as a JSON string.
  void Write(JsonWriter& json, const TQ_Containable* item) {
    const TQ_Containable* owner = item != nullptr ? item->Owner() : nullptr;
    if (owner == nullptr) {
      json.String(m_host.PathOf(item));
      return;
    }
    if (owner != m_lastOwner) {
      auto [it, added] = m_owners.try_emplace(owner);
      if (added) {
        // PathOf follows at most 64 owners; an item deeper than that is left to it.
        int depth = 0;
        for (const TQ_Containable* up = owner; up != nullptr && depth < 64; up = up->Owner()) ++depth;
        it->second.usable = depth < 63;
        it->second.path = m_host.PathOf(owner);
        it->second.array = owner->IsArrayContainer();
      }
      m_lastOwner = owner;
      m_last = &it->second;
    }
    if (!m_last->usable) {
      json.String(m_host.PathOf(item));
      return;
    }
    const char* name = item->Name();
    if (m_last->array)
      json.String({m_last->path, "(", name, ")"});
    else
      json.String({m_last->path, ".", *name != '\0' ? name : "(unnamed)"});
  }

 private:
  struct Owner {
    std::string path;
    bool array = false;
    bool usable = false;
  };
  const TQ_Executive& m_host;
  std::unordered_map<const TQ_Containable*, Owner> m_owners;
  const TQ_Containable* m_lastOwner = nullptr;
  const Owner* m_last = nullptr;
};

// A set as JSON: the members, or for a large set its size, ends and (integers) runs.
void WriteSet(JsonWriter& json, const TQ_SetValue& set) {
  const int size = set.SetSize();
  const auto member = [&](int p) {
    if (set.HoldsStrings())
      json.String(set.String(p));
    else
      json.Integer(set.Integer(p));
  };
  if (size <= kMostListedMembers) {
    json.Char('[');
    for (int p = 0; p < size; ++p) {
      if (p > 0) json.Char(',');
      member(p);
    }
    json.Char(']');
    return;
  }
  json.Raw("{\"size\":").Integer(size).Raw(",\"first\":");
  member(0);
  json.Raw(",\"last\":");
  member(size - 1);
  if (!set.HoldsStrings() && set.RunCount() > 1) {
    json.Raw(",\"runs\":[");
    for (int r = 0; r < set.RunCount(); ++r) {
      int lo = 0, hi = 0;
      set.RunAt(r, lo, hi);
      json.Raw(r > 0 ? ",[" : "[").Integer(lo).Char(',').Integer(hi).Char(']');
    }
    json.Char(']');
  }
  json.Char('}');
}

// The value a property holds after the cycle, written as JSON; false (nothing written) when it
// holds none of a number, a text or a set, or a real that is not finite. `kind` is the
// property's ValueKind().
bool WriteValueLine(JsonWriter& json, const std::string& path, const TQ_VarParamProp& property, TQ_ValueKind kind) {
  TQ_Value value;
  const TQ_Set* set = kind == TQ_ValueKind::Set ? dynamic_cast<const TQ_Set*>(&property) : nullptr;
  if (set != nullptr) {
    value = TQ_Value(set->v(), 0u, 0u, 0);
  } else if (property.HasValue()) {
    value = property.CurrentValue();
  } else if (auto* param = dynamic_cast<const TQ_VarParam*>(&property)) {
    value = param->InitialValue();
  }
  const TQ_ValueKind held = value.Kind();
  if (held == TQ_ValueKind::None || (held == TQ_ValueKind::Real && !std::isfinite(value.Real()))) return false;
  json.Raw("{\"kind\":\"value\",\"path\":").String(path).Raw(",\"value\":");
  switch (held) {
    case TQ_ValueKind::Integer:
      json.Integer(value.Integer());
      break;
    case TQ_ValueKind::Real:
      json.Real(value.Real());
      break;
    case TQ_ValueKind::Text:
      json.String(value.Text());
      break;
    case TQ_ValueKind::Set:
      WriteSet(json, value.Set());
      break;
    case TQ_ValueKind::None:
      break;
  }
  json.Char('}').EndLine();
  return true;
}

// Calls `visit(path, property, kind)` for every property under `item` that can hold a value, with
// its full path in `path` (which it extends and gives back as it was): virtual properties are
// followed to what they stand for (if anything), array elements are visited by key, links are
// not followed. Sets are the properties of kind Set, arrays those that say IsAnArray(), virtual
// properties are texts: only those are looked at more closely.
template <typename Visit>
void WalkValues(TQ_Containable* item,
                std::string& path,
                std::unordered_set<const TQ_Containable*>& seen,
                const Visit& visit);

template <typename Visit>
void WalkElements(TQ_Matrix& array,
                  std::string& path,
                  std::unordered_set<const TQ_Containable*>& seen,
                  const Visit& visit) {
  const std::size_t length = path.size();
  for (unsigned int slot = 0; slot < array.ElementVector.Elements(); ++slot) {
    TQ_Type* element = array.ElementVector[slot];
    if (element == nullptr) continue;
    path.append("(").append(element->Name()).append(")");
    if (element->IsAnArray() || element->PropertyCount() > 0) {
      WalkValues(element, path, seen, visit);
    } else if (seen.insert(element).second) {
      // An element with no properties of its own: only its value.
      const TQ_ValueKind kind = element->ValueKind();
      if (kind != TQ_ValueKind::None &&
          (kind != TQ_ValueKind::Text || dynamic_cast<TQ_VirtualBase*>(element) == nullptr))
        visit(path, *element, kind);
    }
    path.resize(length);
  }
}

template <typename Visit>
void WalkValues(TQ_Containable* item,
                std::string& path,
                std::unordered_set<const TQ_Containable*>& seen,
                const Visit& visit) {
  if (item == nullptr || !seen.insert(item).second) return;
  if (auto* array = dynamic_cast<TQ_Matrix*>(item)) {
    WalkElements(*array, path, seen, visit);
    return;
  }
  if (auto* property = dynamic_cast<TQ_VarParamProp*>(item)) {
    const TQ_ValueKind kind = property->ValueKind();
    if (kind != TQ_ValueKind::None && dynamic_cast<TQ_VirtualBase*>(item) == nullptr) visit(path, *property, kind);
  }
  const std::size_t length = path.size();
  for (int i = 0; i < item->PropertyCount(); ++i) {
    const TQ_PropertyRecord& record = item->PropertyAt(i);
    TQ_Containable* child = record.property;
    if (dynamic_cast<TQ_ExternalBase*>(child) != nullptr) continue;
    if (auto* link = dynamic_cast<TQ_VirtualBase*>(child)) child = link->CurrentLink();
    path.append(".").append(record.name);
    WalkValues(child, path, seen, visit);
    path.resize(length);
  }
}

bool HoldsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// A text for a message, with control characters (a NUL among them) shown as \u escapes.
std::string Shown(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
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
  if (HoldsNul(name)) {
    error = "the object name \"" + Shown(name) + "\" holds a NUL character";
    return false;
  }
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
    if (HoldsNul(it.key()) || HoldsNul(it.value().get_ref<const std::string&>())) {
      error = "the link \"" + Shown(name + "." + it.key()) + "\": \"" + Shown(it.value().get<std::string>()) +
              "\" holds a NUL character";
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
// A JSON integer as a 32-bit one. An unsigned number is compared as such, so
// that one above the 64-bit signed range does not wrap round to a negative.
bool ToInt32(const json& given, int& out) {
  if (given.is_number_unsigned()) {
    const auto n = given.get<unsigned long long>();
    if (n > static_cast<unsigned long long>(INT_MAX)) return false;
    out = static_cast<int>(n);
    return true;
  }
  const long long n = given.get<long long>();
  if (n < INT_MIN || n > INT_MAX) return false;
  out = static_cast<int>(n);
  return true;
}

bool ToValue(const json& given, TQ_Value& value, std::string& why) {
  if (given.is_boolean()) {
    value = TQ_Value(given.get<bool>() ? 1 : 0, 0u, 0u, 0);
  } else if (given.is_number_integer()) {
    int n = 0;
    if (!ToInt32(given, n)) {
      why = "the integer " + given.dump() + " lies outside the 32-bit range";
      return false;
    }
    value = TQ_Value(n, 0u, 0u, 0);
  } else if (given.is_number_float()) {
    value = TQ_Value(given.get<double>(), 0u, 0u, 0);
  } else if (given.is_string()) {
    if (HoldsNul(given.get_ref<const std::string&>())) {
      why = "the text \"" + Shown(given.get<std::string>()) + "\" holds a NUL character";
      return false;
    }
    value = TQ_Value(given.get<std::string>().c_str(), 0u, 0u, 0);
  } else if (given.is_array()) {
    TQ_SetValue set;
    bool strings = !given.empty() && given[0].is_string();
    for (const json& member : given) {
      int n = 0;
      if (strings && member.is_string()) {
        if (HoldsNul(member.get_ref<const std::string&>())) {
          why = "the set member \"" + Shown(member.get<std::string>()) + "\" holds a NUL character";
          return false;
        }
        set += member.get<std::string>().c_str();
      } else if (!strings && member.is_number_integer() && ToInt32(member, n)) {
        set += n;
      } else {
        why = "a set whose members are not all texts or all integers within the 32-bit range";
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
    if (HoldsNul(path)) {
      error = "the property path \"" + Shown(path) + "\" holds a NUL character";
      return false;
    }
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
    if (path.find('(') != std::string::npos) m_fixedInArrays.push_back(path);
  }
  return true;
}

namespace {
// The array `element` belongs to when it is an element of one, else null.
TQ_Matrix* ArrayHolding(const TQ_Containable* element) { return dynamic_cast<TQ_Matrix*>(element->Owner()); }

// The set of `array`'s index sets that does not hold the key of `element` along its dimension;
// null when every one holds it (or the array has no declared set there).
const TQ_Set* SetWithoutKey(const TQ_Matrix& array, const TQ_Containable* element) {
  unsigned int slot = 0;
  while (slot < array.ElementVector.Elements() && array.ElementVector[slot] != element) ++slot;
  if (slot == array.ElementVector.Elements()) return nullptr;
  // Slots run row-major over the index values present, the last dimension fastest.
  for (int d = array.Dimensions(); d-- > 0;) {
    const TQ_SetValue& values = array.IndexValuesOf(d);
    const auto count = static_cast<unsigned int>(values.SetSize());
    if (count == 0) return nullptr;
    const auto at = static_cast<int>(slot % count);
    slot /= count;
    const TQ_Set* declared = array.DeclaredSet(d);
    if (declared == nullptr) continue;
    int position = 0;
    const bool inside = values.HoldsStrings() ? declared->v().SetContains(values.StringAt(at), position) != 0
                                              : declared->v().SetContains(values.IntegerAt(at), position) != 0;
    if (!inside) return declared;
  }
  return nullptr;
}
}  // namespace

bool Run::FixedElementsInsideTheirSets(std::string& error) const {
  TQ_Executive& host = TQ_Executive::Instance();
  for (const std::string& path : m_fixedInArrays) {
    std::string why;
    const TQ_Containable* item = host.FindByPath(path, false, &why);
    for (; item != nullptr && item->Owner() != nullptr; item = item->Owner()) {
      const TQ_Matrix* array = ArrayHolding(item);
      if (array == nullptr) continue;
      if (const TQ_Set* set = SetWithoutKey(*array, item)) {
        error = path + " is fixed, but the element " + host.PathOf(item) + " lies outside the index set " +
                host.PathOf(set) + " " + SetText(set->v()) + " of " + host.PathOf(array) +
                " once the assignments have run";
        return false;
      }
    }
  }
  return true;
}

bool Run::Cycle() {
  TQ_Executive& host = TQ_Executive::Instance();
  bool ok = host.RunAssignments(TQ_Executive::CycleOptions());
  ok = host.RunSetDims() && ok;
  try {
    if (!FixedElementsInsideTheirSets(m_badInput)) return false;
  } catch (const std::bad_alloc&) {
    host.ReportError("the fixed elements could not be checked: out of memory");
    m_errors.clear();
    m_lostErrors = true;
    return false;
  }
  ok = host.RunSetUpEquations() && ok;
  ok = host.RunJacPattern() && ok;
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
  std::unordered_set<int> groups;
  int last = 0;
  for (const TQ_DeclaredEquation& e : host.Declared()) {
    if (!groups.empty() && e.group == last) continue;
    groups.insert(e.group);
    last = e.group;
  }
  return static_cast<int>(groups.size());
}
}  // namespace

void Run::WriteText(std::ostream& out, bool summaryOnly) const {
  TQ_Executive& host = TQ_Executive::Instance();
  out << "objects " << host.ObjectCount() << ", equations " << host.Emitted().size() << ", non-zeros "
      << host.PatternEntriesWritten() << ", groups used " << GroupsUsed(host) << "\n";
  if (summaryOnly) return;
  std::string line;
  const auto flush = [&] {
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    line.clear();
  };
  for (int i = 0; i < host.ObjectCount(); ++i) {
    TQ_ModelType* object = host.ObjectAt(i);
    const std::string& name = host.ObjectNameAt(i);
    out << "\n" << name << ": " << Printable(object->TQ_DefaultDESCRIPTION()) << "\n";
    if (object->ContainerDerivesFrom(kDomainId)) {
      std::string why;
      // The sections the domain made, each read through its own properties. A domain that was
      // refused its sections made none, whatever NUMSECTIONS says: the listing ends at the first
      // section not made.
      // A property may be a virtual one, which stands for the object it links to.
      auto find = [](const TQ_Type* section, const char* property) {
        TQ_Containable* p = section->FindProperty(property);
        if (auto* link = dynamic_cast<TQ_VirtualBase*>(p)) p = link->VirtualLink();
        return p;
      };
      auto integer = [&](const TQ_Type* section, const char* property) {
        auto* p = dynamic_cast<TQ_INTEGERPARAMETER*>(find(section, property));
        return p ? std::to_string(p->v()) : std::string("?");
      };
      auto real = [&](const TQ_Type* section, const char* property) {
        auto* p = dynamic_cast<TQ_REALPARAMETER*>(find(section, property));
        return p ? Number(p->v()) : std::string("?");
      };
      auto* sections = dynamic_cast<TQ_INTEGERPARAMETER*>(host.FindByPath(name + ".NUMSECTIONS", false, &why));
      auto* sectionArray = dynamic_cast<TQ_Matrix*>(host.FindByPath(name + ".SECTION", false, &why));
      int count = sections && sectionArray ? sections->v() : 0;
      for (int s = 1; s <= count; ++s) {
        const TQ_Type* section = sectionArray->ElementByText(std::to_string(s).c_str());
        if (section == nullptr) {
          out << "  sections " << s << " to " << count << ": not made\n";
          break;
        }
        out << "  section " << s << ": BASE " << integer(section, "BASE") << ", NODECOUNT "
            << integer(section, "NODECOUNT") << ", NUMELEMENTS " << integer(section, "NUMELEMENTS") << ", SPACINGUSED "
            << real(section, "SPACINGUSED") << ", ELEMENTLENGTH " << real(section, "ELEMENTLENGTH") << "\n";
      }
      if (auto* nodes = dynamic_cast<TQ_Matrix*>(host.FindByPath(name + ".VALUE", false, &why))) {
        line = "  nodes:";
        for (unsigned int slot = 0; slot < nodes->ElementVector.Elements(); ++slot)
          if (auto* node = dynamic_cast<TQ_REALPARAMETER*>(nodes->ElementVector[slot])) {
            line.append(" ").append(node->Name()).append("=").append(Number(node->v()));
            if (line.size() >= (1u << 16)) flush();
          }
        line += "\n";
        flush();
      }
      if (auto* interior = dynamic_cast<TQ_Set*>(host.FindByPath(name + ".INTERIOR", false, &why)))
        out << "  INTERIOR " << SetText(interior->v()) << "\n";
    }
    const auto& emitted = host.Emitted();
    for (std::size_t index = 0; index < emitted.size(); ++index) {
      const TQ_EmittedEquation& equation = emitted[index];
      if (equation.owner != object) continue;
      line.append("  [").append(std::to_string(index)).append("] ").append(host.EquationName(equation));
      line.append(" (group ").append(std::to_string(equation.group)).append("): ");
      host.AppendInfix(line, equation);
      line.append(" = 0\n");
      if (line.size() >= (1u << 16)) flush();
    }
    flush();
  }
}

void Run::WriteJsonLines(std::ostream& out, bool summaryOnly) const {
  TQ_Executive& host = TQ_Executive::Instance();
  JsonWriter json(out);
  if (!summaryOnly) {
    for (int i = 0; i < host.ObjectCount(); ++i) {
      const char* type = host.ObjectAt(i)->TQ_DefaultDESCRIPTION();
      json.Raw("{\"kind\":\"object\",\"name\":").String(host.ObjectNameAt(i));
      json.Raw(",\"type\":").String(type ? type : "").Char('}').EndLine();
    }
    std::unordered_set<const TQ_Containable*> seen;
    std::string path;
    for (int i = 0; i < host.ObjectCount(); ++i) {
      path = host.ObjectNameAt(i);
      WalkValues(host.ObjectAt(i), path, seen, [&](const std::string& at, const TQ_VarParamProp& p, TQ_ValueKind kind) {
        WriteValueLine(json, at, p, kind);
      });
    }
    const auto& emitted = host.Emitted();
    const auto& declared = host.Declared();
    const auto& declaredNonZeros = host.DeclaredNonZeros();
    const auto& items = host.Items();
    PathCache paths(host);
    std::string owner;
    const TQ_ModelType* ownerOf = nullptr;
    for (std::size_t e = 0; e < emitted.size(); ++e) {
      const TQ_EmittedEquation& equation = emitted[e];
      if (e == 0 || equation.owner != ownerOf) {
        owner = host.PathOf(equation.owner);
        ownerOf = equation.owner;
      }
      json.Raw("{\"kind\":\"equation\",\"object\":")
          .String(owner)
          .Raw(",\"index\":")
          .Integer(static_cast<long long>(e));
      json.Raw(",\"name\":").String(host.EquationName(equation)).Raw(",\"group\":").Integer(equation.group);
      json.Raw(",\"program\":[");
      for (std::uint32_t k = 0; k < equation.itemCount; ++k) {
        const TQ_ProgramItem& item = items[equation.firstItem + k];
        if (k > 0) json.Char(',');
        switch (item.kind) {
          case TQ_ProgramItem::Op:
            json.Raw("[\"op\",").Integer(item.code);
            break;
          case TQ_ProgramItem::Integer:
            json.Raw("[\"int\",").Integer(item.code);
            break;
          case TQ_ProgramItem::Real:
            json.Raw("[\"real\",").Real(item.real);
            break;
          case TQ_ProgramItem::Term:
            json.Raw("[\"var\",");
            paths.Write(json, item.term);
            break;
        }
        json.Char(']');
      }
      json.Char(']');
      if (e < declared.size()) {
        json.Raw(",\"declared\":[");
        for (std::uint32_t k = 0; k < declared[e].nonZeroCount; ++k) {
          if (k > 0) json.Char(',');
          paths.Write(json, declaredNonZeros[declared[e].firstNonZero + k]);
        }
        json.Raw("],\"declared_group\":").Integer(declared[e].group);
      }
      json.Char('}').EndLine();
    }
  }
  ojson summary = {{"kind", "summary"},
                   {"objects", host.ObjectCount()},
                   {"equations", host.Emitted().size()},
                   {"declared_equations", host.Declared().size()},
                   {"nonzeros", host.PatternEntriesWritten()},
                   {"groups", GroupsUsed(host)},
                   {"declared_matches_emitted", m_matches},
                   {"errors", m_errors}};
  json.Raw(summary.dump()).EndLine();
}

}  // namespace modelhost
