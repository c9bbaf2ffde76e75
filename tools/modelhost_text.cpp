#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/tq_held.h"
#include "host/vekexp.h"
#include "modelhost_report.h"

namespace modelhost {

namespace {

const char* const kDomainId = "Model DOMAIN\tV7.1";

// What an entry of a hash table of pointers takes: its node (the link, the key, the value and the
// hash) and its bucket.
constexpr std::size_t kIndexEntryBytes = 5 * sizeof(void*);

std::string Printable(const char* text) {
  std::string out = text ? text : "";
  for (char& c : out)
    if (c == '\t') c = ' ';
  return out;
}

std::string Number(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  return buffer;
}

// The emitted equations of each object, in the order they were emitted, sorted out in one pass
// over them (each object's are written after it): those of object i are byObject[firstOf[i]] to
// byObject[firstOf[i + 1] - 1]. Equations of no object of the executive are left out.
void EquationsByObject(const TQ_Executive& host,
                       TQ_HeldVector<std::uint32_t>& firstOf,
                       TQ_HeldVector<std::uint32_t>& byObject) {
  const auto objects = static_cast<std::size_t>(host.ObjectCount());
  const std::size_t equations = host.Emitted().size();
  // The table of the objects, the counts and places, the object of each equation and the order.
  AdmitForReport("the order of " + std::to_string(equations) + " equations by their objects",
                 static_cast<double>(TQ_BlockBytes(objects * 2 * kIndexEntryBytes) +
                                     TQ_BlockBytes((objects + 2) * sizeof(std::uint32_t)) +
                                     2 * TQ_BlockBytes(equations * sizeof(std::uint32_t))));
  std::unordered_map<const TQ_ModelType*,
                     std::uint32_t,
                     std::hash<const TQ_ModelType*>,
                     std::equal_to<>,
                     TQ_HeldAllocator<std::pair<const TQ_ModelType* const, std::uint32_t>>>
      indexOf;
  indexOf.reserve(objects);
  for (std::size_t i = 0; i < objects; ++i)
    indexOf.emplace(host.ObjectAt(static_cast<int>(i)), static_cast<std::uint32_t>(i));
  const auto& emitted = host.Emitted();
  // Counts, then the first place of each object's equations, then the equations in their places.
  firstOf.assign(objects + 2, 0);
  TQ_HeldVector<std::uint32_t> objectOf(emitted.size(), UINT32_MAX);
  for (std::size_t e = 0; e < emitted.size(); ++e) {
    const auto found = indexOf.find(emitted[e].owner);
    if (found == indexOf.end()) continue;
    objectOf[e] = found->second;
    ++firstOf[found->second + 2];
  }
  for (std::size_t i = 2; i < firstOf.size(); ++i) firstOf[i] += firstOf[i - 1];
  byObject.resize(firstOf.back());
  for (std::size_t e = 0; e < emitted.size(); ++e)
    if (objectOf[e] != UINT32_MAX) byObject[firstOf[objectOf[e] + 1]++] = static_cast<std::uint32_t>(e);
  firstOf.pop_back();
}

}  // namespace

void WriteText(std::ostream& out, bool summaryOnly) {
  TQ_Executive& host = TQ_Executive::Instance();
  out << "objects " << host.ObjectCount() << ", equations " << host.Emitted().size() << ", non-zeros "
      << host.PatternEntriesWritten() << ", groups used " << GroupsUsed(host) << "\n";
  if (summaryOnly) return;
  std::string line;
  const auto flush = [&] {
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    line.clear();
  };
  const auto& emitted = host.Emitted();
  TQ_HeldVector<std::uint32_t> firstOf;
  TQ_HeldVector<std::uint32_t> byObject;
  EquationsByObject(host, firstOf, byObject);
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
    for (std::uint32_t e = firstOf[i]; e < firstOf[i + 1]; ++e) {
      const std::uint32_t index = byObject[e];
      const TQ_EmittedEquation& equation = emitted[index];
      line.append("  [").append(std::to_string(index)).append("] ").append(host.EquationName(equation));
      line.append(" (group ").append(std::to_string(equation.group)).append("): ");
      host.AppendInfix(line, equation);
      line.append(" = 0\n");
      if (line.size() >= (1u << 16)) flush();
    }
    flush();
  }
}

}  // namespace modelhost
