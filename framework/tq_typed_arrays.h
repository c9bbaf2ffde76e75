// The typed arrays TQ_ARRAY_I, TQ_ARRAY_S, TQ_ARRAY_II and TQ_ARRAY_III: an
// array base of one key shape with a typed face. The array makes its own
// elements (NewElement, with the construct flag set, no reference taken) and
// hands them out as the element type. Both type arguments are the element
// type.
#pragma once

#include "framework/morvane_api.h"
#include "framework/tq_array_bases.h"
#include "framework/tq_support.h"
#include "host/vekexp.h"

// One definition for the four: NAME over BASE, looked up with the keys
// PARAMS, passed on to the base's Find as ARGS.
//
// operator() is the models' way to read or create an element; the element
// that Find returns is handed out as a reference. When it could not be made,
// operator() throws TQ_ArrayElementError instead of forming a reference from
// nothing (the host has reported the refused allocation already).
#define MORVANE_TYPED_ARRAY(NAME, BASE, PARAMS, ARGS)            \
  template <class T, class U = T>                                \
  class MORVANE_API NAME : public BASE {                         \
   public:                                                       \
    NAME();                                                      \
    NAME(const NAME& other);                                     \
    NAME& operator=(const NAME& other);                          \
    ~NAME() override;                                            \
    NAME& operator*();                                           \
    NAME& v();                                                   \
    T& operator() PARAMS;                                        \
    TQ_Type* NewElement() override;                              \
  };                                                             \
  template <class T, class U>                                    \
  NAME<T, U>::NAME() = default;                                  \
  template <class T, class U>                                    \
  NAME<T, U>::NAME(const NAME& other) : BASE(other) {}           \
  template <class T, class U>                                    \
  NAME<T, U>& NAME<T, U>::operator=(const NAME& other) {         \
    BASE::operator=(other);                                      \
    return *this;                                                \
  }                                                              \
  template <class T, class U>                                    \
  NAME<T, U>::~NAME() = default;                                 \
  template <class T, class U>                                    \
  NAME<T, U>& NAME<T, U>::operator*() {                          \
    return *this;                                                \
  }                                                              \
  template <class T, class U>                                    \
  NAME<T, U>& NAME<T, U>::v() {                                  \
    return *this;                                                \
  }                                                              \
  template <class T, class U>                                    \
  T& NAME<T, U>::operator() PARAMS {                             \
    TQ_Type* element = this->Find ARGS;                          \
    if (element == nullptr) morvane::ThrowMissingElement(*this); \
    return static_cast<T&>(*element);                            \
  }                                                              \
  template <class T, class U>                                    \
  TQ_Type* NAME<T, U>::NewElement() {                            \
    return morvane::MakeForHost<T>();                            \
  }

MORVANE_TYPED_ARRAY(TQ_ARRAY_I, TQ_BASE_I, (int k0), (k0))
MORVANE_TYPED_ARRAY(TQ_ARRAY_S, TQ_BASE_S, (const char* k0), (k0))
MORVANE_TYPED_ARRAY(TQ_ARRAY_II, TQ_BASE_II, (int k0, int k1), (k0, k1))
MORVANE_TYPED_ARRAY(TQ_ARRAY_III, TQ_BASE_III, (int k0, int k1, int k2), (k0, k1, k2))

#undef MORVANE_TYPED_ARRAY
