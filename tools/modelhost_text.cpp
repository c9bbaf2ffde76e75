#include <cstdio>
#include <ostream>
#include <string>

#include "host/vekexp.h"
#include "modelhost_report.h"

namespace modelhost {

namespace {

const char* const kDomainId = "Model DOMAIN\tV7.1";

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

}  // namespace modelhost
