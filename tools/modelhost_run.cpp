#include "modelhost_run.h"

#include "host/vekexp.h"
#include "modelhost_configuration.h"
#include "modelhost_report.h"

using nlohmann::json;

namespace modelhost {

Run::Run() {
  TQ_Executive::Instance().Reset();
  // The warnings count the names of the objects as one form, as the host's messages do.
  warnings_.SetNameTest([](const void*, std::string_view word) { return TQ_Executive::Instance().IsObjectName(word); },
                        nullptr);
}

Run::~Run() { TQ_Executive::Instance().Reset(); }

bool Run::LoadLibrary(const std::string& library, std::string& error) {
  loader_.SetModelLibraryDirectory(TQ_LibraryLoader::ModuleDirectory());
  TQ_LibraryRef found = loader_.LoadByName(library.empty() ? "Morvane230_1" : library, error);
  if (found == nullptr || !models_.Load(loader_, found->Path(), error)) return false;
  if (!found->Untried().empty())
    libraryWarning_ = "the library \"" + found->Path() + "\" was not tried in a child process before it was loaded (" +
                      found->Untried() + ")";
  return true;
}

bool Run::Configure(const json& configuration, std::string& error) {
  try {
    warnings_.Clear();
    if (!ConfigureObjects(models_, configuration, configured_, error)) return false;
    for (const std::string& warning : configured_.warnings) warnings_.Report(warning);
    configured_.warnings = std::vector<std::string>();
    return true;
  } catch (const std::bad_alloc&) {
    error = "out of memory";  // short enough to need no memory of its own
    return false;
  }
}

namespace {
// The array `element` belongs to when it is an element of one, else null.
TQ_Matrix* ArrayHolding(const TQ_Containable* element) { return dynamic_cast<TQ_Matrix*>(element->Owner()); }

// The set of `array`'s index sets that does not hold the key of `element` along its dimension;
// null when every one holds it (or the array has no declared set there). The keys are read from
// the element's name ("4", "2,5", "\"a\""), which the array gave it from them.
const TQ_Set* SetWithoutKey(const TQ_Matrix& array, const TQ_Containable* element) {
  const std::string keys = std::string(element->Name()) + ")";
  const char* cursor = keys.c_str();
  for (int d = 0; d < array.Dimensions(); ++d) {
    const char terminator = d + 1 < array.Dimensions() ? ',' : ')';
    const TQ_Set* declared = array.DeclaredSet(d);
    int position = 0;
    bool inside = true;
    if (array.IndexValuesOf(d).HoldsStrings()) {
      char key[512];
      if (!TQ_Matrix::ReadIndex(cursor, key, sizeof key, terminator)) return nullptr;
      inside = declared == nullptr || declared->v().SetContains(key, position) != 0;
    } else {
      int key = 0;
      if (!TQ_Matrix::ReadIndex(cursor, key, terminator)) return nullptr;
      inside = declared == nullptr || declared->v().SetContains(key, position) != 0;
    }
    if (!inside) return declared;
  }
  return nullptr;
}
}  // namespace

bool Run::FixedElementsInsideTheirSets(std::string& error) const {
  TQ_Executive& host = TQ_Executive::Instance();
  for (const TQ_HeldString& held : configured_.fixedInArrays) {
    const std::string path(held.data(), held.size());
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

namespace {
// "X.TQ_SECTION_SET1 is fixed, but ..." for the index sets whose fixes the host refused.
std::string RefusedFixesText(const std::vector<std::string>& paths) {
  std::string sets;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    if (k > 0) sets += k + 1 == paths.size() ? " and " : ", ";
    sets += paths[k];
  }
  return sets +
         (paths.size() == 1 ? " is fixed, but it is an index set that its model computes"
                            : " are fixed, but they are index sets that their models compute") +
         "; an index set cannot be fixed";
}
}  // namespace

bool Run::Cycle() {
  TQ_Executive& host = TQ_Executive::Instance();
  bool ok = host.RunAssignments(TQ_Executive::CycleOptions());
  // A fixed index set that a model computes cannot be honoured: the configuration is bad input.
  if (!host.RefusedFixes().empty()) {
    badInput_ = RefusedFixesText(host.RefusedFixes());
    return false;
  }
  ok = host.RunSetDims() && ok;
  try {
    std::string outside;
    if (!FixedElementsInsideTheirSets(outside)) {
      // The sets are what a model that failed left: its message says why, before the element.
      if (host.Errors().empty()) {
        badInput_ = std::move(outside);
      } else {
        host.ReportError(outside);
        errors_ = host.Errors();
      }
      return false;
    }
  } catch (const std::bad_alloc&) {
    host.ReportError("the fixed elements could not be checked: out of memory");
    errors_.clear();
    lostErrors_ = true;
    return false;
  }
  ok = host.RunSetUpEquations() && ok;
  ok = host.RunJacPattern() && ok;
  try {
    // After a model reported its cause (out of memory, a refusal), what it emitted falls short of
    // what it declared for that cause: the difference is said only when nothing else was.
    matches_ = host.DeclaredMatchesEmitted(&difference_);
    if (!matches_) {
      if (host.Errors().empty()) host.ReportError("declared and emitted equations differ: " + difference_);
      ok = false;
    }
    errors_ = host.Errors();
  } catch (const std::bad_alloc&) {
    // The host's messages stay where they are, and Errors() says so.
    matches_ = false;
    host.ReportError("the equations could not be compared: out of memory");
    errors_.clear();
    lostErrors_ = true;
    ok = false;
  }
  // A model that met bad input reports it and goes on with a defined result;
  // the run still counts as failed.
  return ok && errors_.empty();
}

}  // namespace modelhost
