// The help page's tables of machine instructions, directives and macros, read
// once into entries by name. The page is the one place that explains an
// instruction; the hover texts and completion snippets follow it.
#include "lang/HelpTexts.h"

#include <map>

#include "common/Cp932.h"

namespace tolvane::lang {

namespace {

std::string Decode(std::string_view html) {  // tags out, <br> as a line break, entities decoded
  std::string out;
  for (std::size_t i = 0; i < html.size();) {
    if (html[i] == '<') {
      const std::size_t e = html.find('>', i);
      if (e == std::string_view::npos) break;
      if (html.substr(i, 3) == "<br") out += '\n';
      i = e + 1;
    } else if (html[i] == '&') {
      static const std::pair<std::string_view, char> kEntities[] = {
          {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}};
      bool done = false;
      for (const auto& [name, c] : kEntities)
        if (html.substr(i, name.size()) == name) {
          out += c;
          i += name.size();
          done = true;
          break;
        }
      if (!done) out += html[i++];
    } else {
      out += html[i++];
    }
  }
  return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t b = 0;
  for (;;) {
    const std::size_t e = s.find(sep, b);
    parts.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) return parts;
    b = e + 1;
  }
}

// The cells of each row of the first table after the anchor.
std::vector<std::vector<std::string>> TableAfter(std::string_view page, std::string_view anchor) {
  std::vector<std::vector<std::string>> rows;
  std::size_t at = page.find(anchor);
  if (at == std::string_view::npos) return rows;
  const std::size_t end = page.find("</table>", at);
  for (;;) {
    at = page.find("<tr><td>", at);
    if (at == std::string_view::npos || at > end) break;
    const std::size_t rowEnd = page.find("</tr>", at);
    std::string_view row = page.substr(at + 8, rowEnd - at - 8);
    std::vector<std::string> cells;
    std::size_t b = 0;
    for (;;) {
      const std::size_t e = row.find("</td>", b);
      if (e == std::string_view::npos) break;
      cells.push_back(std::string(row.substr(b, e - b)));
      b = e + 5;
      if (row.substr(b, 4) == "<td>") b += 4;
    }
    rows.push_back(std::move(cells));
    at = rowEnd;
  }
  return rows;
}

std::string LeadingName(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && s[n] >= 'A' && s[n] <= 'Z') ++n;
  return std::string(s.substr(0, n));
}

// "LD r,adr[,x]": what follows the name, split at commas; a bracket makes the
// operands inside it optional; a trailing "..." repeats the last one.
std::vector<InstructionHelp::Operand> OperandsOf(const std::string& form, const std::string& name) {
  std::vector<InstructionHelp::Operand> ops;
  std::size_t at = form.find(name);
  if (at == std::string::npos) return ops;
  at += name.size();
  bool optional = false;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) ops.push_back({current, optional});
    current.clear();
  };
  for (std::size_t i = at; i < form.size(); ++i) {
    const char c = form[i];
    if (c == '[') {
      flush();
      optional = true;
    } else if (c == ']') {
      flush();
      optional = false;
    } else if (c == ',') {
      flush();
    } else if (c != ' ' && c != '.') {
      current += c;
    }
  }
  flush();
  return ops;
}

std::string Cp(const std::string& utf8) {
  std::string out;
  Utf8ToCp932(utf8, out);
  return out;
}

struct Tables {
  std::map<std::string, InstructionHelp, std::less<>> byName;
  std::string registers;
};

const Tables& Load() {
  static const Tables tables = [] {
    Tables t;
    const std::string_view page = kLanguageHelpPage;
    auto add = [&](const std::string& name, const std::string& title, const std::string& forms,
                   const std::string& action, const std::string& flags) {
      InstructionHelp h;
      h.name = name;
      h.title = Cp(title);
      for (const std::string& f : Split(forms, '\n')) {
        h.forms.push_back(Cp(f));
        auto ops = OperandsOf(f, name);
        for (auto& o : ops) o.name = Cp(o.name);
        h.operands.push_back(std::move(ops));
      }
      h.action = Cp(action);
      h.flags = Cp(flags);
      t.byName.emplace(name, std::move(h));
    };
    for (const auto& c : TableAfter(page, "name=\"instructions\"")) {
      if (c.size() < 6) continue;
      add(LeadingName(c[0]), Decode(c[0]), Decode(c[1]), Decode(c[2]),
          "OF:" + Decode(c[3]) + " SF:" + Decode(c[4]) + " ZF:" + Decode(c[5]));
    }
    for (const auto& c : TableAfter(page, "name=\"pseudo\"")) {
      if (c.size() < 3) continue;
      add(LeadingName(c[0]), Decode(c[0]), Decode(c[1]), Decode(c[2]), "");
    }
    for (const auto& c : TableAfter(page, "name=\"macros\"")) {
      if (c.size() < 3) continue;
      const std::string name = LeadingName(c[0]);
      add(name, name, Decode(c[0]), Decode(c[1]) + "\n" + Decode(c[2]), "");
    }
    // The machine section's item on the general registers.
    const std::size_t reg = page.find("<li><b>");
    const std::size_t key = page.find("GR0", reg);
    if (key != std::string_view::npos) {
      const std::size_t b = page.rfind("<li>", key);
      const std::size_t e = page.find("</li>", key);
      t.registers = Cp(Decode(page.substr(b, e - b)));
    }
    return t;
  }();
  return tables;
}

}  // namespace

const InstructionHelp* FindInstructionHelp(std::string_view name) {
  const Tables& t = Load();
  auto it = t.byName.find(name);
  return it == t.byName.end() ? nullptr : &it->second;
}

const std::string& RegisterHelp() { return Load().registers; }

}  // namespace tolvane::lang
