// The registry: the problem's objects under their names, and the paths that
// name objects and properties ("D.VALUE(3)", "X.SECTION(2).BASE"). Part of
// the executive, which owns the registry and answers for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tq_held.h"
#include "tq_object.h"

class TQ_Matrix;

class TQ_Registry {
 public:
  TQ_Registry() = default;
  ~TQ_Registry();
  TQ_Registry(const TQ_Registry&) = delete;
  TQ_Registry& operator=(const TQ_Registry&) = delete;

  // Takes over the reference a factory returned. Refused when the name is
  // empty, malformed or taken, or the object is null, or memory runs out; a
  // refused object stays with the caller.
  bool Add(const std::string& name, TQ_ModelType* object, std::string* error);
  // The object of a name, found without regard to letter case.
  TQ_ModelType* Find(const std::string& name) const;
  // Whether an object is named `name`, in the same letter case (a message quotes names as they
  // were given).
  bool IsName(std::string_view name) const;
  std::size_t Count() const { return objects_.size(); }
  TQ_ModelType* At(std::size_t index) const { return objects_[index]; }
  const std::string& NameAt(std::size_t index) const { return names_[index]; }
  // Hands the objects over in the order they were added, and forgets them.
  TQ_HeldVector<TQ_ModelType*> TakeObjects();

  // The full path of an object or property.
  static std::string PathOf(const TQ_Containable* item);
  // Follows a path from the registry's objects. Virtual properties and links
  // are followed to what they stand for; array elements are found, and made
  // when `create` is set, each once the size budget admits it. Null with a
  // message in `error` when the path leads nowhere or the budget refuses the
  // element.
  TQ_Containable* FindByPath(const std::string& path, bool create, std::string* error) const;

 private:
  // Counted in what the host holds, with the names' texts (NameBytes).
  TQ_HeldVector<std::string> names_;
  TQ_HeldVector<TQ_ModelType*> objects_;
  // The index of each object by its name with ASCII letters in upper case: names are found
  // without regard to letter case, in one look-up however many objects there are.
  std::unordered_map<TQ_HeldString,
                     std::size_t,
                     TQ_TextHash,
                     TQ_TextEqual,
                     TQ_HeldAllocator<std::pair<const TQ_HeldString, std::size_t>>>
      indexByName_;
  static TQ_HeldString NameKey(const std::string& name);
  // Whether the size budget admits a new element of `array` under `keys`; why not in `why`.
  static bool AdmitElement(const TQ_Matrix& array, const std::string& keys, std::string& why);
  // Notes what an element of `array` made on a caller's behalf took.
  static void NoteElementBytes(const TQ_Matrix& array, std::int64_t bytes);
  // The block a name's text takes beside its string, if any.
  static std::int64_t NameBytes(const std::string& name);
};
