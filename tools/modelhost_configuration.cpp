#include "modelhost_configuration.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <unordered_set>

#include "host/tq_executive.h"
#include "host/tq_held.h"
#include "host/tq_memory.h"
#include "host/tq_message_log.h"
#include "host/vekexp.h"

using nlohmann::json;

namespace modelhost {

namespace {
const char* const kIntegrals1D[] = {"idx"};
const char* const kIntegrals2D[] = {"idx", "idy", "idxdy"};
const char* const kIntegrals3D[] = {"idx", "idy", "idz", "idxdy", "idxdz", "idydz", "idxdydz"};
const DistributionType kDistributionTypes[] = {
    {"DISTRIBUTION1D", 1, kIntegrals1D}, {"DISTRIBUTION2D", 2, kIntegrals2D}, {"DISTRIBUTION3D", 3, kIntegrals3D}};

// A text for a message, cut short when long: a name of a hundred thousand characters is shown by
// its first ones and its length, both in characters (a UTF-8 sequence is one, kept whole).
std::string Clipped(const std::string& text) {
  constexpr std::size_t kShown = 40;
  if (text.size() <= kShown + 20) return text;
  const std::size_t characters = TQ_CharacterCount(text);
  if (characters <= kShown + 20) return text;
  return text.substr(0, TQ_CharactersBytes(text, kShown)) + "... (" + std::to_string(characters) + " characters)";
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (std::toupper(static_cast<unsigned char>(a[k])) != std::toupper(static_cast<unsigned char>(b[k]))) return false;
  return true;
}
}  // namespace

std::span<const DistributionType> DistributionTypes() { return kDistributionTypes; }

const DistributionType* FindDistributionType(std::string_view name) {
  for (const DistributionType& type : kDistributionTypes)
    if (SameIgnoringCase(type.name, name)) return &type;
  return nullptr;
}

std::string IntegralsText(const DistributionType& type) {
  std::string text;
  for (const char* integral : type.integrals) text += (text.empty() ? "" : ", ") + std::string(integral);
  return text;
}

namespace {
// Thrown by the reader at a key given twice in one JSON object: the JSON library keeps the last
// silently.
struct DuplicateKey {
  std::string key;
  std::string within;  // the key the object stands under, "the configuration" at the top
};

// Thrown by the reader once the document would not fit the size budget.
struct TooLarge {
  std::string why;
};

// What the JSON reader takes beside a text of `size` bytes while it reads one of its values: the
// value's characters, in a block that doubles as it grows (the old block and the new one twice as
// large, at the last step).
std::int64_t ReadingRoom(std::size_t size) { return 3 * TQ_BlockBytes(size + 1); }

// Reads a configuration's text once before the JSON library builds its document from it. It finds
// a key given twice in one object, and it tallies the bytes the document will take (the values,
// the nodes of the objects' maps, the arrays' slots as they grow, the texts beyond the short ones
// a string keeps in place), so that the document is admitted by the size budget before it is
// built. What it keeps itself follows the depth of the text and the keys of the objects open.
class TextReader final : public json::json_sax_t {
 public:
  explicit TextReader(const std::string& source) : source_(source) {}

  bool null() override { return Value(0); }
  bool boolean(bool /*value*/) override { return Value(0); }
  bool number_integer(number_integer_t /*value*/) override { return Value(0); }
  bool number_unsigned(number_unsigned_t /*value*/) override { return Value(0); }
  bool number_float(number_float_t /*value*/, const string_t& /*text*/) override { return Value(0); }
  bool string(string_t& value) override {
    longest_ = std::max(longest_, value.size());
    return Value(TQ_BlockBytes(sizeof(string_t)) + TextBytes(value));
  }
  bool binary(binary_t& /*value*/) override { return Value(TQ_BlockBytes(sizeof(binary_t))); }
  bool start_object(std::size_t /*elements*/) override {
    Value(TQ_BlockBytes(sizeof(json::object_t)));
    open_.push_back({true, {}, {}});
    return true;
  }
  bool key(string_t& key) override {
    Open& object = open_.back();
    if (!object.keys.insert(key).second) throw DuplicateKey{key, Within()};
    object.lastKey = key;
    // A member is a node of the object's map: its key and its value.
    const std::int64_t member = kMapNode + TextBytes(key);
    keyBytes_ += member;
    return Add(member);
  }
  bool end_object() override {
    keyBytes_ -= KeyBytes(open_.back());
    open_.pop_back();
    return true;
  }
  bool start_array(std::size_t /*elements*/) override {
    Value(TQ_BlockBytes(sizeof(json::array_t)));
    open_.push_back({false, {}, {}});
    return true;
  }
  bool end_array() override {
    open_.pop_back();
    return true;
  }
  bool parse_error(std::size_t /*position*/,
                   const std::string& /*token*/,
                   const nlohmann::detail::exception& fault) override {
    error_ = dynamic_cast<const json::out_of_range*>(&fault) != nullptr
                 ? source_ + " holds a number too large for a double: " + fault.what()
                 : source_ + " is not valid JSON: " + fault.what();
    return false;
  }

  // The bytes the document takes, and how many values it holds.
  std::int64_t DocumentBytes() const { return bytes_; }
  // What building the document takes beside it for a while: the reader keeps a text while it
  // reads it, in a block that doubles as it grows, before the document copies it.
  std::int64_t ReadingBytes() const { return ReadingRoom(longest_); }
  std::int64_t Values() const { return values_; }
  const std::string& Error() const { return error_; }

  // Throws TooLarge when `bytes` would not fit the size budget; `whole` once the text is read to
  // its end, when the values counted are all the document's.
  void Admit(std::int64_t bytes, bool whole) const {
    std::string why;
    const std::string size =
        "a JSON document of " + std::string(whole ? "" : "more than ") + std::to_string(values_) + " values";
    if (!TQ_SizeBudget::AdmitBytes(
            ("configuration " + source_).c_str(), size.c_str(), static_cast<double>(bytes), &why))
      throw TooLarge{why};
  }

 private:
  struct Open {
    bool object;
    std::string lastKey;
    std::unordered_set<std::string> keys;
  };

  // A node of std::map: its links and colour beside the key and the value.
  static constexpr std::int64_t kMapNode = TQ_BlockBytes(4 * sizeof(void*) + sizeof(string_t) + sizeof(json));
  // A text's own block, beyond the characters a string keeps in place.
  static std::int64_t TextBytes(const string_t& text) {
    return text.size() < sizeof(string_t) / 2 ? 0 : TQ_BlockBytes(text.size() + 1);
  }
  // What an open object's set of keys takes while the reader keeps it: as much as the members.
  static std::int64_t KeyBytes(const Open& object) {
    std::int64_t bytes = 0;
    for (const std::string& key : object.keys) bytes += kMapNode + TextBytes(key);
    return bytes;
  }

  // A value with `extra` bytes of its own; an entry of an array takes its slot, and while the
  // array grows its old slots are held beside the new ones twice as many.
  bool Value(std::int64_t extra) {
    ++values_;
    if (!open_.empty() && !open_.back().object) extra += 3 * static_cast<std::int64_t>(sizeof(json));
    return Add(extra);
  }

  // Adds to the tally; at every further megabyte, asks the size budget whether the document and
  // what the readers keep would still fit (the open objects' keys and this reader's stack, and
  // the JSON library's own stack of a bit a level).
  bool Add(std::int64_t bytes) {
    bytes_ += bytes;
    const std::int64_t kept =
        keyBytes_ + TQ_BlockBytes(open_.capacity() * sizeof(Open)) + static_cast<std::int64_t>(open_.capacity() / 8);
    if (bytes_ + kept < nextCheck_) return true;
    nextCheck_ = bytes_ + kept + (std::int64_t{1} << 20);
    Admit(bytes_ + kept, false);
    return true;
  }

  // Where the innermost open object stands, for a message: "\"fix\"", "an entry of \"objects\"".
  std::string Within() const {
    std::size_t entries = 0;
    std::size_t k = open_.size() - 1;
    for (; k > 0 && !open_[k - 1].object; --k) ++entries;
    const std::string base = k == 0 ? std::string("the configuration") : "\"" + Clipped(open_[k - 1].lastKey) + "\"";
    if (entries == 0) return base;
    if (entries == 1) return "an entry of " + base;
    return "an entry " + std::to_string(entries) + " arrays deep in " + base;
  }

  std::string source_;
  std::vector<Open> open_;
  std::int64_t bytes_ = 0;
  std::int64_t keyBytes_ = 0;
  std::int64_t values_ = 0;
  std::int64_t nextCheck_ = 0;
  std::size_t longest_ = 0;
  std::string error_;
};
}  // namespace

void HeldBytes::Set(std::int64_t bytes) {
  TQ_CountHeld(bytes - bytes_);
  bytes_ = bytes;
}

bool ParseConfiguration(std::string_view text,
                        const std::string& source,
                        nlohmann::json& configuration,
                        std::string& error,
                        HeldBytes* held) {
  TextReader reader(source);
  try {
    if (!json::sax_parse(text, &reader)) {
      error = reader.Error();
      return false;
    }
    reader.Admit(reader.DocumentBytes() + reader.ReadingBytes(), true);
  } catch (const DuplicateKey& duplicate) {
    error = source + ": " + duplicate.within + " gives the key \"" + Clipped(duplicate.key) +
            "\" twice; a key may stand once in an object";
    return false;
  } catch (const TooLarge& refused) {
    error = refused.why;
    return false;
  }
  configuration = json::parse(text);
  if (held != nullptr) held->Set(reader.DocumentBytes());
  return true;
}

bool ReadConfigurationFile(const std::string& file, json& configuration, std::string& error, HeldBytes* held) {
  if (file.empty()) {
    error = "--config was given an empty file name";
    return false;
  }
  std::error_code code;
  if (std::filesystem::is_directory(file, code)) {
    error = file + " is a directory, not a configuration file";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read configuration file " + file;
    return false;
  }
  // The text is read whole into one block counted while it is held, admitted before it is made
  // with the room to read a value as long as the text: at the file's size when it has one, else
  // (a pipe) at twice the text read so far whenever it grows past its block.
  TQ_HeldString text;
  const auto admit = [&](std::size_t length, std::size_t block) {
    const std::string bytes =
        "a text of " + std::string(length < block ? "more than " : "") + std::to_string(length) + " bytes";
    const double room = static_cast<double>(TQ_BlockBytes(block + 1) + ReadingRoom(block));
    if (!TQ_SizeBudget::AdmitBytes(("configuration " + file).c_str(), bytes.c_str(), room, &error)) return false;
    text.reserve(block);
    return true;
  };
  const std::uintmax_t size = std::filesystem::is_regular_file(file, code) ? std::filesystem::file_size(file, code) : 0;
  if (!code && size > 0 && !admit(static_cast<std::size_t>(size), static_cast<std::size_t>(size))) return false;
  std::vector<char> chunk(std::size_t{1} << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    const auto read = static_cast<std::size_t>(in.gcount());
    if (text.size() + read > text.capacity() && !admit(text.size() + read, 2 * (text.size() + read))) return false;
    text.append(chunk.data(), read);
  }
  if (in.bad()) {
    error = "cannot read configuration file " + file;
    return false;
  }
  return ParseConfiguration(text, file, configuration, error, held);
}

namespace {

bool HoldsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// Refuses a name longer than the limit, in characters; `what` says what it names.
bool NameFits(const std::string& name, const std::string& what, std::string& error) {
  if (name.size() <= kMostNameLength) return true;
  const std::size_t characters = TQ_CharacterCount(name);
  if (characters <= kMostNameLength) return true;
  error = what + " \"" + name.substr(0, TQ_CharactersBytes(name, 40)) + "...\" (" + std::to_string(characters) +
          " characters) is longer than the " + std::to_string(kMostNameLength) + " characters a name may take";
  return false;
}

// The types the library offers, for a message: "ANGLEDOMAIN, CONNECTION, ...".
std::string TypesText(const TQ_ModelLibrary& models) {
  std::string why;
  std::string text;
  for (const std::string& type : models.TypeNames(why)) text += (text.empty() ? "" : ", ") + type;
  return text.empty() ? "none that can be read (" + why + ")" : text;
}

bool CreateObject(const TQ_ModelLibrary& models, const json& entry, std::string& error) {
  if (!entry.is_object()) {
    error = "each entry of \"objects\" must be an object";
    return false;
  }
  for (auto it = entry.begin(); it != entry.end(); ++it)
    if (it.key() != "name" && it.key() != "type" && it.key() != "links" && it.key() != "fix") {
      error = "unknown key \"" + Clipped(it.key()) + "\" in an object entry";
      return false;
    }
  if (!entry.contains("name") || !entry["name"].is_string() || !entry.contains("type") || !entry["type"].is_string()) {
    error = "each object needs a \"name\" and a \"type\", both texts";
    return false;
  }
  std::string name = entry["name"];
  std::string type = entry["type"];
  if (HoldsNul(name)) {
    error = "the object name \"" + Clipped(TQ_PrintableText(name)) + "\" holds a NUL character";
    return false;
  }
  if (!NameFits(name, "the object name", error)) return false;
  bool typeName = !type.empty();
  for (char& c : type) {
    typeName = typeName && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  std::string why;
  if (!typeName || models.FindFactory(type, why) == nullptr) {
    error = "object \"" + Clipped(name) + "\" has the unknown type \"" +
            Clipped(TQ_PrintableText(entry["type"].get<std::string>())) + "\"; the library offers " + TypesText(models);
    return false;
  }
  TQ_Executive& host = TQ_Executive::Instance();
  if (const TQ_ModelType* taken = host.FindObject(name)) {
    for (int k = 0; k < host.ObjectCount(); ++k) {
      if (host.ObjectAt(k) != taken || host.ObjectNameAt(k) == name) continue;
      error = "the object name \"" + Clipped(name) + "\" is taken by \"" + Clipped(host.ObjectNameAt(k)) +
              "\": names are compared without regard to letter case";
      return false;
    }
  }
  TQ_ModelType* object = models.Create(type, why);
  if (object == nullptr) {
    error = why;
    return false;
  }
  if (!host.AddObject(name, object, &why)) {
    object->Release();
    error = why;
    return false;
  }
  return true;
}

// The first part of a path: its text up to the first '.' or '('.
std::string FirstPart(const std::string& path) { return path.substr(0, path.find_first_of(".(")); }

// Why a path of an object's "links" or "fix" (`key`, relative to the object `name`) leads
// nowhere, when it starts with the name of an object that has no property of that name: a
// path written from the top ("X.SECTION(1).LOCATION", as the reports give it). Empty when it
// does not.
std::string FromTheTop(const std::string& name, const std::string& key, const char* part) {
  TQ_Executive& host = TQ_Executive::Instance();
  const std::string first = FirstPart(key);
  const TQ_ModelType* named = host.FindObject(first);
  const TQ_ModelType* object = host.FindObject(name);
  if (named == nullptr || object == nullptr || object->FindProperty(first.c_str()) != nullptr) return {};
  const std::string where = "\"" + Clipped(key) + "\" in \"" + part + "\" of " + name + " starts with the name of ";
  if (named == object)
    return where + "the object itself; paths are relative to their object: \"" +
           Clipped(key.substr(std::min(key.size(), first.size() + 1))) + "\"";
  return where + "the object " + first + "; paths are relative to their object, so " + first + "'s properties go in " +
         first + "'s own \"" + part + "\"";
}

// Follows the path `key` of the object `name`, or says why it leads nowhere.
TQ_Containable* Resolve(
    const std::string& name, const std::string& key, const char* part, bool create, std::string& error) {
  std::string why;
  TQ_Containable* target = TQ_Executive::Instance().FindByPath(name + "." + key, create, &why);
  if (target == nullptr) {
    error = FromTheTop(name, key, part);
    if (error.empty()) error = why;
  }
  return target;
}

// The properties one object's "links" or "fix" named so far, with the key that named each,
// counted in what the host holds.
using NamedKeys = std::map<const TQ_Containable*,
                           TQ_HeldString,
                           std::less<>,
                           TQ_HeldAllocator<std::pair<const TQ_Containable* const, TQ_HeldString>>>;

// A node of NamedKeys: its links and colour beside the pointer and the text.
constexpr std::int64_t kNamedKeyNode = TQ_BlockBytes(4 * sizeof(void*) + sizeof(void*) + sizeof(TQ_HeldString));

// Refuses a second key of one object's "links" or "fix" that names a property an earlier key
// named ("XDOMAIN" and "xdomain", "SECTION(1).LENGTH" and "SECTION(01).LENGTH"): one would win
// silently.
bool NamedOnce(NamedKeys& named,
               const TQ_Containable* target,
               const std::string& name,
               const std::string& key,
               const char* part,
               std::string& error) {
  const auto [it, added] = named.try_emplace(target, TQ_HeldString(key.data(), key.size()));
  if (added) return true;
  error = "\"" + Clipped(std::string(it->second.data(), it->second.size())) + "\" and \"" + Clipped(key) + "\" in \"" +
          part + "\" of " + name + " name the same property " + TQ_Executive::Instance().PathOf(target);
  return false;
}

bool LinkObject(const std::string& name, const json& links, std::string& error) {
  if (!links.is_object()) {
    error = "\"links\" of " + name + " must be an object of property: object name";
    return false;
  }
  TQ_Executive& host = TQ_Executive::Instance();
  NamedKeys linked;
  for (auto it = links.begin(); it != links.end(); ++it) {
    const std::string& key = it.key();
    if (!it.value().is_string()) {
      error = name + "." + Clipped(key) + ": a link names an object by a text";
      return false;
    }
    if (HoldsNul(key) || HoldsNul(it.value().get_ref<const std::string&>())) {
      error = "the link \"" + Clipped(TQ_PrintableText(name + "." + key)) + "\": \"" +
              Clipped(TQ_PrintableText(it.value().get<std::string>())) + "\" holds a NUL character";
      return false;
    }
    if (!NameFits(key, "the link", error)) return false;
    if (!key.empty() && key.back() == ')') {
      error = "the link \"" + Clipped(key) + "\" of " + name +
              " has an index; a link is a property named without one (\"" + Clipped(key.substr(0, key.rfind('('))) +
              "\")";
      return false;
    }
    TQ_Containable* property = Resolve(name, key, "links", false, error);
    if (property == nullptr) return false;
    if (!NamedOnce(linked, property, name, key, "links", error)) return false;
    TQ_ModelType* target = host.FindObject(it.value());
    if (target == nullptr) {
      error = name + "." + Clipped(key) + ": no object named \"" + Clipped(it.value()) + "\" to link to";
      return false;
    }
    auto* external = dynamic_cast<TQ_ExternalBase*>(property);
    if (external == nullptr) {
      error = name + "." + Clipped(key) + " is not a link";
      return false;
    }
    std::string why;
    if (!external->Attach(target, &why)) {
      error = why;
      return false;
    }
  }
  return true;
}

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
      why = "the text \"" + TQ_PrintableText(given.get<std::string>()) + "\" holds a NUL character";
      return false;
    }
    value = TQ_Value(given.get_ref<const std::string&>().c_str(), 0u, 0u, 0);
  } else if (given.is_array()) {
    TQ_SetValue set;
    bool strings = !given.empty() && given[0].is_string();
    for (const json& member : given) {
      int n = 0;
      if (strings && member.is_string()) {
        if (HoldsNul(member.get_ref<const std::string&>())) {
          why = "the set member \"" + TQ_PrintableText(member.get<std::string>()) + "\" holds a NUL character";
          return false;
        }
        set += member.get_ref<const std::string&>().c_str();
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

// The warning for a distribution's INTEGRALS that holds selectors it does not compute, which it
// takes as they come (they select nothing); empty when every member is one it computes or
// "None". A few of them are named, with the count of the rest.
std::string UncomputedIntegrals(const std::string& name, const DistributionType& type, const SUValue& integrals) {
  constexpr int kMostNamed = 5;
  std::string named;
  int count = 0;
  for (int p = 0; p < integrals.SetSize(); ++p) {
    const std::string member =
        integrals.HoldsStrings() ? std::string(integrals.StringAt(p)) : std::to_string(integrals.IntegerAt(p));
    bool computed = member == "None";
    for (const char* integral : type.integrals) computed = computed || member == integral;
    if (computed) continue;
    if (++count <= kMostNamed) named += (named.empty() ? "\"" : ", \"") + Clipped(member) + "\"";
  }
  if (count == 0) return {};
  if (count > kMostNamed) named += " and " + std::to_string(count - kMostNamed) + " more";
  return name + ": INTEGRALS holds " + named + ", which " + type.name + " does not compute (its integrals are " +
         IntegralsText(type) + "); " + (count == 1 ? "it selects" : "they select") + " nothing";
}

// Whether the path `a` comes before `b` with the numbers in them read as numbers: "VALUE(9)" before
// "VALUE(10)", "SECTION(2).LENGTH" before "SECTION(10).LENGTH". Numbers equal in value ("1" and
// "01") compare equal there.
bool BeforeInKeyOrder(std::string_view a, std::string_view b) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      while (i < a.size() && a[i] == '0') ++i;
      while (j < b.size() && b[j] == '0') ++j;
      std::size_t endA = i, endB = j;
      while (endA < a.size() && digit(a[endA])) ++endA;
      while (endB < b.size() && digit(b[endB])) ++endB;
      if (endA - i != endB - j) return endA - i < endB - j;
      const int order = a.substr(i, endA - i).compare(b.substr(j, endB - j));
      if (order != 0) return order < 0;
      i = endA;
      j = endB;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

// The highest orders of derivative: a domain's, and a distribution's along each axis. The
// distributions write equations for the orders 0, 1 and 2 (an order of 3 would leave out the
// collocation methods' junction rows, which stand at order 2 exactly), so a configuration fixes
// them within 0 to 2, as --order takes them.
bool OrderFits(const TQ_VarParamProp& property, const std::string& path, std::string& error) {
  static const char* const kOrders[] = {
      "HIGHESTORDERDERIVATIVE", "HIGHESTORDERXDERIVATIVE", "HIGHESTORDERYDERIVATIVE", "HIGHESTORDERZDERIVATIVE"};
  const auto* order = dynamic_cast<const TQ_INTEGERPARAMETER*>(&property);
  if (order == nullptr || (order->v() >= 0 && order->v() <= 2)) return true;
  for (const char* name : kOrders) {
    if (!SameIgnoringCase(property.Name(), name)) continue;
    error = path + ": " + std::to_string(order->v()) +
            " is outside 0 to 2, the orders of derivative the distributions write equations for";
    return false;
  }
  return true;
}

// One entry of an object's "fix": its path and its value.
struct FixEntry {
  const std::string* key;
  const json* value;
};

bool FixValues(const std::string& name, const json& fixes, ConfigurationOutcome& outcome, std::string& error) {
  if (!fixes.is_object()) {
    error = "\"fix\" of " + name + " must be an object of path: value";
    return false;
  }
  // The values are fixed in the order of their keys with the numbers read as numbers, so that the
  // elements of an array they make come in the order of their keys, each after the last, however
  // the text orders them (an element made before others moves them all).
  std::string why;
  if (!TQ_SizeBudget::AdmitBytes(("\"fix\" of " + name).c_str(),
                                 ("the order of " + std::to_string(fixes.size()) + " values").c_str(),
                                 static_cast<double>(TQ_BlockBytes(fixes.size() * sizeof(FixEntry))),
                                 &error))
    return false;
  TQ_HeldVector<FixEntry> entries;
  entries.reserve(fixes.size());
  for (auto it = fixes.begin(); it != fixes.end(); ++it) entries.push_back({&it.key(), &it.value()});
  // Keys equal in that order ("SECTION(1)" and "SECTION(01)") keep the order of their texts, as the
  // document holds them. (std::sort, which takes no memory, where std::stable_sort would.)
  std::sort(entries.begin(), entries.end(), [](const FixEntry& a, const FixEntry& b) {
    if (BeforeInKeyOrder(*a.key, *b.key)) return true;
    return !BeforeInKeyOrder(*b.key, *a.key) && *a.key < *b.key;
  });
  NamedKeys fixed;
  for (const FixEntry& entry : entries) {
    const std::string& key = *entry.key;
    const json& given = *entry.value;
    std::string path = name + "." + key;
    if (HoldsNul(path)) {
      error = "the property path \"" + Clipped(TQ_PrintableText(path)) + "\" holds a NUL character";
      return false;
    }
    if (!NameFits(key, "the property path", error)) return false;
    // What this fix keeps beside the value: the key that named the property, and for a path
    // through an array element, the path to check once the arrays are sized.
    const bool inArray = path.find('(') != std::string::npos;
    const double kept = static_cast<double>(kNamedKeyNode + TQ_BlockBytes(key.size() + 1) +
                                            (inArray ? TQ_BlockBytes(path.size() + 1) + 2 * sizeof(TQ_HeldString) : 0));
    if (!TQ_SizeBudget::AdmitBytes(path.c_str(), "fixing its value", kept, &error)) return false;
    TQ_Containable* target = Resolve(name, key, "fix", true, error);
    if (target == nullptr) return false;
    if (!NamedOnce(fixed, target, name, key, "fix", error)) return false;
    auto* property = dynamic_cast<TQ_VarParamProp*>(target);
    if (property == nullptr || property->ValueKind() == TQ_ValueKind::None) {
      error = path + " holds no value to fix";
      return false;
    }
    // true and false are for logical parameters; elsewhere they would be taken as 1 and 0.
    if (given.is_boolean() && dynamic_cast<TQ_FalseLOGICALPARAMETER*>(property) == nullptr) {
      error = path + ": " + given.dump() + " is for a logical parameter, which this is not";
      return false;
    }
    TQ_Value value;
    if (!ToValue(given, value, why) || property->Fix(value, &why) != TQ_ASSIGN_DONE) {
      error = path + ": " + why;
      return false;
    }
    if (!OrderFits(*property, path, error)) return false;
    if (inArray) outcome.fixedInArrays.emplace_back(path.data(), path.size());
  }
  return true;
}

// The warnings of a distribution whose INTEGRALS was fixed.
void WarnOfIntegrals(const std::string& name, const std::string& type, ConfigurationOutcome& outcome) {
  const DistributionType* distribution = FindDistributionType(type);
  if (distribution == nullptr) return;
  const TQ_ModelType* object = TQ_Executive::Instance().FindObject(name);
  const auto* integrals = dynamic_cast<const TQ_Set*>(object->FindProperty("INTEGRALS"));
  if (integrals == nullptr) return;
  std::string warning = UncomputedIntegrals(name, *distribution, integrals->v());
  if (!warning.empty()) outcome.warnings.push_back(std::move(warning));
}

}  // namespace

bool ConfigureObjects(const TQ_ModelLibrary& models,
                      const json& configuration,
                      ConfigurationOutcome& outcome,
                      std::string& error) {
  if (!configuration.is_object() || !configuration.contains("objects") || !configuration["objects"].is_array()) {
    error = "the configuration must be an object with an array \"objects\"";
    return false;
  }
  for (auto it = configuration.begin(); it != configuration.end(); ++it)
    if (it.key() != "objects") {
      error = "unknown configuration key \"" + Clipped(it.key()) + "\"";
      return false;
    }
  const json& objects = configuration["objects"];
  for (const json& entry : objects)
    if (!CreateObject(models, entry, error)) return false;
  for (const json& entry : objects)
    if (entry.contains("links") && !LinkObject(entry["name"], entry["links"], error)) return false;
  for (const json& entry : objects) {
    if (!entry.contains("fix")) continue;
    if (!FixValues(entry["name"], entry["fix"], outcome, error)) return false;
    WarnOfIntegrals(entry["name"], entry["type"], outcome);
  }
  return true;
}

}  // namespace modelhost
