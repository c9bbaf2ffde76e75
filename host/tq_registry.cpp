#include "tq_registry.h"

#include <array>
#include <cctype>
#include <typeinfo>

#include "tq_links.h"
#include "tq_matrix.h"

TQ_HeldString TQ_Registry::NameKey(const std::string& name) {
  TQ_HeldString key(name.data(), name.size());
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

namespace {
template <typename Vector>
void MakeRoomForOne(Vector& vector) {
  if (vector.size() == vector.capacity()) vector.reserve(2 * vector.size() + 16);
}
}  // namespace

bool TQ_Registry::Add(const std::string& name, TQ_ModelType* object, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  // Refused for want of memory, the object stays with the caller, as with
  // any refusal: everything that takes memory comes before it is kept.
  try {
    if (object == nullptr) return fail("no object to add under the name \"" + name + "\"");
    if (name.empty()) return fail("an object needs a name");
    for (char c : name)
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
        return fail("object name \"" + name + "\" may hold only letters, digits and '_'");
    if (Find(name) != nullptr) return fail("an object named \"" + name + "\" exists already");
    // The object is made; the host takes no more objects once it holds more than its size
    // budget, so that making objects one after another stays within it.
    std::string why;
    if (!TQ_SizeBudget::AdmitBytes(("object \"" + name + "\"").c_str(), nullptr, 0.0, &why)) return fail(why);
    std::string kept = name;
    // Room for the new entry first, so that keeping it cannot fail halfway; the room doubles when
    // it runs out, so that adding n objects costs time in proportion to n.
    MakeRoomForOne(names_);
    MakeRoomForOne(objects_);
    auto entry = indexByName_.emplace(NameKey(name), objects_.size()).first;
    try {
      object->SetObjectName(name.c_str());
    } catch (...) {
      indexByName_.erase(entry);
      throw;
    }
    names_.push_back(std::move(kept));
    objects_.push_back(object);
    TQ_CountHeld(NameBytes(names_.back()));
    return true;
  } catch (const std::bad_alloc&) {
    if (error) *error = "out of memory";  // short enough to need no memory of its own
    return false;
  }
}

TQ_ModelType* TQ_Registry::Find(const std::string& name) const {
  const auto found = indexByName_.find(NameKey(name));
  return found != indexByName_.end() ? objects_[found->second] : nullptr;
}

bool TQ_Registry::IsName(std::string_view name) const {
  if (objects_.empty() || name.empty()) return false;
  // The key in upper case, without a string of its own for the names the registry takes.
  char buffer[256];
  std::string longer;
  std::string_view key;
  if (name.size() <= sizeof buffer) {
    for (std::size_t k = 0; k < name.size(); ++k)
      buffer[k] = name[k] >= 'a' && name[k] <= 'z' ? static_cast<char>(name[k] - 'a' + 'A') : name[k];
    key = std::string_view(buffer, name.size());
  } else {
    longer = NameKey(std::string(name)).c_str();
    key = longer;
  }
  const auto found = indexByName_.find(key);
  return found != indexByName_.end() && names_[found->second] == name;
}

std::string TQ_Registry::PathOf(const TQ_Containable* item) {
  if (item == nullptr) return "(none)";
  // The items from this one up to its object (at most 64 of them), then their names from the
  // object down: an array's element as "(keys)", any other property as ".NAME".
  std::array<const TQ_Containable*, 64> chain;
  std::size_t depth = 0;
  for (const TQ_Containable* up = item; up != nullptr && depth < chain.size(); up = up->Owner()) chain[depth++] = up;
  std::string path;
  for (std::size_t k = depth; k-- > 0;) {
    const TQ_Containable* at = chain[k];
    const TQ_Containable* owner = at->Owner();
    const char* name = at->Name();
    if (owner != nullptr && owner->IsArrayContainer()) {
      path += '(';
      path += name;
      path += ')';
    } else {
      if (owner != nullptr) path += '.';
      path += *name != '\0' ? name : "(unnamed)";
    }
  }
  return path;
}

namespace {
// Splits "A.B(1,2).C" into its segments, leaving dots inside parentheses
// or quotes alone.
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
  std::string current;
  int depth = 0;
  bool quoted = false;
  for (char c : path) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')') --depth;
    if (depth < 0) return false;
    if (c == '.' && depth == 0 && !quoted) {
      if (current.empty()) return false;
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (depth != 0 || quoted || current.empty()) return false;
  parts.push_back(current);
  return true;
}

// The keys between an index's parentheses: something other than blanks, and
// no parenthesis outside quotes ("1)(2" is two indices, not one).
bool WellFormedKeys(const std::string& keys) {
  if (keys.find_first_not_of(" \t") == std::string::npos) return false;
  bool quoted = false;
  for (char c : keys) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == '(' || c == ')')) return false;
  }
  return !quoted;
}

// The keys of an element of `array`, for a message: 1 for an integer index, "A" for a text one.
std::string ExampleKeys(const TQ_Matrix& array) {
  std::string keys;
  for (int d = 0; d < array.Dimensions(); ++d) {
    const TQ_SetValue& values = array.IndexValuesOf(d);
    if (d > 0) keys += ',';
    keys += values.Type() == TQ_SET_STRING || values.HoldsStrings() ? "\"A\"" : "1";
  }
  return keys;
}
}  // namespace

namespace {
// What the last element made on a caller's behalf took, for each kind of array (the elements of
// one kind of array are alike): the least that one took, since one may also take a container's
// growth that the next ones use.
// The kind is kept by its type's name, copied: a library that made an array may be unloaded and
// another loaded in its place, and its own type information goes with it.
struct ElementCost {
  TQ_HeldString array;
  std::int64_t bytes;
};
TQ_HeldVector<ElementCost>& ElementCosts() {
  static auto* costs = TQ_NewHeld<TQ_HeldVector<ElementCost>>();  // never destroyed, as the executive
  return *costs;
}
ElementCost* CostOf(const TQ_Matrix& array) {
  for (ElementCost& cost : ElementCosts())
    if (cost.array == typeid(array).name()) return &cost;
  return nullptr;
}
}  // namespace

// A path that makes an element asks the size budget first, at what an element of the array's kind
// took the last time: the element with its properties, and its share of the array. The first of
// its kind is made once the host holds no more than the budget, and tells what the next take.
bool TQ_Registry::AdmitElement(const TQ_Matrix& array, const std::string& keys, std::string& why) {
  const ElementCost* cost = CostOf(array);
  const double bytes = cost != nullptr ? TQ_SizeBudget::Estimate(1.0, static_cast<double>(cost->bytes), 0.0) : 0.0;
  const std::string element = PathOf(&array) + "(" + keys + ")";
  return TQ_SizeBudget::AdmitBytes(element.c_str(), "a new element", bytes, &why);
}

void TQ_Registry::NoteElementBytes(const TQ_Matrix& array, std::int64_t bytes) {
  if (bytes < 0) bytes = 0;
  if (ElementCost* cost = CostOf(array)) {
    if (bytes < cost->bytes) cost->bytes = bytes;
    return;
  }
  ElementCosts().push_back({TQ_HeldString(typeid(array).name()), bytes});
}

TQ_Containable* TQ_Registry::FindByPath(const std::string& path, bool create, std::string* error) const {
  auto fail = [&](const std::string& why) -> TQ_Containable* {
    if (error) *error = why;
    return nullptr;
  };
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return fail("malformed path \"" + path + "\"");
  TQ_Containable* current = Find(parts[0]);
  if (current == nullptr) return fail("no object named \"" + parts[0] + "\"");
  try {
    for (std::size_t k = 1; k < parts.size(); ++k) {
      const std::string& part = parts[k];
      std::string name = part;
      std::string keys;
      std::size_t open = part.find('(');
      if (open != std::string::npos) {
        name = part.substr(0, open);
        keys = part.substr(open + 1, part.size() - open - 2);
        if (part.back() != ')' || !WellFormedKeys(keys)) return fail("malformed index in \"" + part + "\"");
      }
      TQ_Containable* property = current->FindProperty(name.c_str());
      if (property == nullptr && dynamic_cast<const TQ_Matrix*>(current) != nullptr) {
        // "X.SECTION.LOCATION": an element's property named without the element.
        const std::string& array = parts[k - 1];
        return fail("\"" + PathOf(current) + "\" has no property " + name + ": " + array +
                    " is an array, whose elements take an index: " + array + "(" +
                    ExampleKeys(*static_cast<const TQ_Matrix*>(current)) + ")." + part);
      }
      if (property == nullptr) return fail("\"" + PathOf(current) + "\" has no property " + name);
      bool last = k + 1 == parts.size();
      if (auto* link = dynamic_cast<TQ_VirtualBase*>(property)) {
        property = link->VirtualLink();
      } else if (auto* external = dynamic_cast<TQ_ExternalBase*>(property)) {
        if (!last || !keys.empty()) {
          property = external->ExternalLink();
          if (property == nullptr) return fail("link " + PathOf(external) + " has no object attached");
        }
      }
      if (!keys.empty()) {
        auto* array = dynamic_cast<TQ_Matrix*>(property);
        if (array == nullptr) return fail(PathOf(property) + " is not an array");
        TQ_Type* element = array->ElementByText(keys.c_str());
        if (element == nullptr && create) {
          std::string why;
          if (!AdmitElement(*array, keys, why)) return fail(why);
          const std::int64_t before = TQ_HeapStats::HeldBytes();
          array->CreateMissingArrayElement((keys + ")").c_str());
          element = array->ElementByText(keys.c_str());
          if (element != nullptr) NoteElementBytes(*array, TQ_HeapStats::HeldBytes() - before);
        }
        if (element == nullptr) return fail(PathOf(array) + " has no element (" + keys + ")");
        property = element;
      }
      current = property;
    }
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return current;
}

TQ_HeldVector<TQ_ModelType*> TQ_Registry::TakeObjects() {
  TQ_HeldVector<TQ_ModelType*> objects;
  objects.swap(objects_);
  for (const std::string& name : names_) TQ_CountHeld(-NameBytes(name));
  names_.clear();
  indexByName_.clear();
  return objects;
}

TQ_Registry::~TQ_Registry() {
  for (const std::string& name : names_) TQ_CountHeld(-NameBytes(name));
}

// A text longer than the string keeps in itself has a block of its own.
std::int64_t TQ_Registry::NameBytes(const std::string& name) {
  return name.capacity() > std::string().capacity() ? TQ_BlockBytes(name.capacity() + 1) : 0;
}
