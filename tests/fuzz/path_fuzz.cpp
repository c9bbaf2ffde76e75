// Fuzz target: the host's property paths and array keys. The first byte
// chooses whether the lookup may create a missing element; the rest is a
// path under a small model of two domains, a distribution over both and an
// object with string-keyed and mixed arrays ("D.XDOMAIN.SECTION(2).LENGTH",
// "K.T(3,\"a b\",x)"). Whatever the path, the lookup either finds a property
// or says why not; what it found is found again without creating anything;
// and every host block comes back when the objects go.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "distribution/tq_distribution2d.h"
#include "domain/tq_domain.h"
#include "host/tq_executive.h"
#include "framework/tq_support.h"
#include "framework/tq_typed_arrays.h"
#include "host/vekexp.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Real variables keyed by an integer and two strings.
class MixedArray : public TQ_BASE_ISS {
 public:
  TQ_Type* NewElement() override { return morvane::MakeForHost<TQ_REALVARIABLE>(); }
};

// An object whose arrays have the key shapes the library's models lack.
class KeyedModel : public TQ_ModelTypeEx2 {
 public:
  KeyedModel() {
    S.AddProperty(this, "S", nullptr, TQ_DIR_NONE, false);
    M.AddProperty(this, "M", nullptr, TQ_DIR_NONE, false);
    T.AddProperty(this, "T", nullptr, TQ_DIR_NONE, false);
    N.AddProperty(this, "N", nullptr, TQ_DIR_NONE, false);
  }
  TQ_ARRAY_S<TQ_REALVARIABLE> S;
  TQ_ARRAY_II<TQ_REALVARIABLE> M;
  MixedArray T;
  TQ_INTEGERPARAMETER N{true};
};

template <class T>
T* Add(const char* name) {
  T* object = morvane::MakeReferenced<T>();
  Check(object != nullptr);
  Check(TQ_Executive::Instance().AddObject(name, object, nullptr));
  return object;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool create = (data[0] & 1) != 0;
  const std::string path(reinterpret_cast<const char*>(data) + 1, size - 1);

  TQ_Executive& host = TQ_Executive::Instance();
  host.Reset();
  const std::int64_t liveAtStart = TQ_HeapStats::LiveBlocks();
  TQ_DOMAIN* x = Add<TQ_DOMAIN>("X");
  TQ_DOMAIN* y = Add<TQ_DOMAIN>("Y");
  TQ_DISTRIBUTION2D* d = Add<TQ_DISTRIBUTION2D>("D");
  Add<KeyedModel>("K");
  Check(d->XDOMAIN.Attach(x) && d->YDOMAIN.Attach(y));

  std::string error;
  TQ_Containable* found = host.FindByPath(path, create, &error);
  if (found == nullptr) {
    Check(!error.empty());
  } else {
    std::string again;
    Check(host.FindByPath(path, false, &again) == found);
  }
  host.Reset();
  Check(TQ_HeapStats::LiveBlocks() == liveAtStart);
  return 0;
}
