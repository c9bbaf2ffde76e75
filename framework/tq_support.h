// What the framework's templates share: how the library makes objects for
// the host, how a link's object is handed out as its declared type, and the
// comparison of type ids.
#pragma once

#include <stdexcept>
#include <type_traits>

#include "framework/morvane_api.h"
#include "host/vekexp.h"

// Thrown when an array lookup cannot hand out an element because the
// element could not be made (its allocation was refused): the models use the
// element at once, so there is no element to return.
class MORVANE_API TQ_ArrayElementError : public std::runtime_error {
 public:
  explicit TQ_ArrayElementError(const char* what);
  ~TQ_ArrayElementError() override;
};

namespace morvane {

// Whole texts equal with ASCII letters compared without case; no locale. A
// null text equals only a null text.
bool EqualIgnoringCase(const char* a, const char* b);

// An object made for the host other than by a factory (an array element, a
// virtual property's default object, a global-structure dummy): allocated on
// the host heap and built with its construct or initialise flag set where
// its type takes one, by its default constructor otherwise. It receives no
// reference. Null, with nothing constructed, when the allocation is refused.
template <class T>
T* MakeForHost() {
  if constexpr (std::is_constructible_v<T, bool>)
    return new T(true);
  else
    return new T();
}

// An object made by a factory: as above, then given its first reference,
// which the host holds.
template <class T>
T* MakeReferenced() {
  T* object = MakeForHost<T>();
  if (object != nullptr) object->AddRef();
  return object;
}

// Throws TQ_LinkError naming `via` (the link or property followed, with its
// owner) and what is wrong with it.
[[noreturn]] void ThrowLinkError(const TQ_Containable& via, const char* what);

// The object a link or virtual property leads to, as the type it is declared
// for. An object of another type is reported, never handed out.
template <class T, class Object>
T& LinkedAs(Object* object, const TQ_Containable& via) {
  if (object == nullptr) ThrowLinkError(via, "has no object attached");
  T* typed = dynamic_cast<T*>(object);
  if (typed == nullptr) ThrowLinkError(via, "holds an object that is not of its declared type");
  return *typed;
}

// Throws TQ_ArrayElementError for `array`, whose element could not be made.
[[noreturn]] void ThrowMissingElement(const TQ_Containable& array);

}  // namespace morvane
