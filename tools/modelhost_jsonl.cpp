#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "host/tq_held.h"
#include "host/vekexp.h"
#include "modelhost_report.h"

using ojson = nlohmann::ordered_json;

namespace modelhost {

namespace {

// Writes JSON text straight into a buffer that goes to the stream in large blocks: one line after
// another, without a document per line. Numbers and strings come out as the JSON library writes
// them (shortest round-trip reals, non-finite reals as null, the same escapes).
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : m_out(out), m_buffer(new char[kBlock]), m_end(m_buffer.get()) {}
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;
  // What is left goes out unless the stream failed already; a failure here (the report ends for
  // another cause) is not thrown again.
  ~JsonWriter() {
    try {
      if (m_out.good()) Flush();
    } catch (...) {
    }
  }

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

// The properties the walk below has visited, counted in what the host holds and admitted by the
// size budget a few thousand at a time (a report visits every property of every object).
class Visited {
 public:
  // False when the item was visited already.
  bool Insert(const TQ_Containable* item) {
    if (set_.size() == admitted_) Admit();
    return set_.insert(item).second;
  }

 private:
  void Admit() {
    constexpr std::size_t kStep = 4096;
    const std::size_t next = set_.size() + kStep;
    // A node holds the link and the item; the table of buckets doubles as the nodes pass it, the
    // old one held while the nodes move.
    double bytes = static_cast<double>(kStep * TQ_BlockBytes(2 * sizeof(void*)));
    if (static_cast<double>(next) > static_cast<double>(set_.bucket_count()) * set_.max_load_factor())
      bytes += static_cast<double>(TQ_BlockBytes(2 * next * sizeof(void*)));
    AdmitForReport("a table of the " + std::to_string(next) + " properties it has visited", bytes);
    admitted_ = next;
  }

  TQ_HeldSet<const TQ_Containable*> set_;
  std::size_t admitted_ = 0;
};

// Calls `visit(path, property, kind)` for every property under `item` that can hold a value, with
// its full path in `path` (which it extends and gives back as it was): virtual properties are
// followed to what they stand for (if anything), array elements are visited by key, links are
// not followed. Sets are the properties of kind Set, arrays those that say IsAnArray(), virtual
// properties are texts: only those are looked at more closely.
template <typename Visit>
void WalkValues(TQ_Containable* item, std::string& path, Visited& seen, const Visit& visit);

template <typename Visit>
void WalkElements(TQ_Matrix& array, std::string& path, Visited& seen, const Visit& visit) {
  const std::size_t length = path.size();
  for (unsigned int slot = 0; slot < array.ElementVector.Elements(); ++slot) {
    TQ_Type* element = array.ElementVector[slot];
    if (element == nullptr) continue;
    path.append("(").append(element->Name()).append(")");
    if (element->IsAnArray() || element->PropertyCount() > 0) {
      WalkValues(element, path, seen, visit);
    } else if (seen.Insert(element)) {
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
void WalkValues(TQ_Containable* item, std::string& path, Visited& seen, const Visit& visit) {
  if (item == nullptr || !seen.Insert(item)) return;
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

}  // namespace

void WriteJsonLines(std::ostream& out, const Run& run, bool summaryOnly) {
  TQ_Executive& host = TQ_Executive::Instance();
  JsonWriter json(out);
  if (!summaryOnly) {
    for (int i = 0; i < host.ObjectCount(); ++i) {
      const char* type = host.ObjectAt(i)->TQ_DefaultDESCRIPTION();
      json.Raw("{\"kind\":\"object\",\"name\":").String(host.ObjectNameAt(i));
      json.Raw(",\"type\":").String(type ? type : "").Char('}').EndLine();
    }
    Visited seen;
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
                   {"declared_matches_emitted", run.Matches()},
                   {"errors", run.Errors()}};
  json.Raw(summary.dump()).EndLine();
  json.Flush();
}

}  // namespace modelhost
