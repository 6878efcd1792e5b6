// thunk_generator IdlFbInterfaces.h > thunks.inc
//
// Writes the bridge's forwarding code (see bridge.h) from Firebird's generated interface header: for
// every interface, the peer types of both sides, and for every method of its vtable two thunks, one
// the Windows program calls (Microsoft x64 convention) that calls the Linux client's object (System
// V), and one the other way round for the objects the program hands the client (its status). Then
// one table of vtables for each direction, filled from the base interface's slots up.
//
// The header is cloop's output and regular: "class IName : public IBase" opens an interface, and
// each slot of its VTable is one line "ret (CLOOP_CARG *name)(IName* self, type arg, ...) throw();".

#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Param {
  std::string type;
  std::string name;
};

struct Method {
  std::string ret;
  std::string name;
  std::vector<Param> params;  // self first
};

struct Interface {
  std::string name;
  std::string base;  // empty for IVersioned
  std::vector<Method> methods;
};

// Slots whose success releases the object (Firebird 3's y-valve drops the caller's reference when
// they succeed): the program's reference to the wrapper ends with them.
const std::set<std::string> kEnding = {"IAttachment::detach",
                                       "IAttachment::dropDatabase",
                                       "ITransaction::commit",
                                       "ITransaction::rollback",
                                       "ITransaction::disconnect",
                                       "IResultSet::close",
                                       "IStatement::free",
                                       "IRequest::free",
                                       "IBlob::close",
                                       "IBlob::cancel",
                                       "IEvents::cancel",
                                       "IService::detach"};

// Reference counting and disposal are the wrappers' own (bridge.h), not generated.
const std::set<std::string> kOwnSlots = {"addRef", "release", "dispose"};

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  const auto e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The type with every interface name of the header qualified by `side` (W or L).
std::string qualified(const std::string& type, const std::set<std::string>& names, const std::string& side) {
  static const std::regex word("\\bI[A-Za-z]\\w*\\b");
  std::string out;
  std::size_t last = 0;
  for (auto it = std::sregex_iterator(type.begin(), type.end(), word); it != std::sregex_iterator(); ++it) {
    out += type.substr(last, it->position() - last);
    out += (names.count(it->str()) ? side + "::" : "") + it->str();
    last = it->position() + it->length();
  }
  return out + type.substr(last);
}

std::vector<Interface> parse(std::istream& in) {
  static const std::regex opens("^\\tclass (I\\w+)(?: : public (I\\w+))?$");
  static const std::regex slot("^\\t\\t\\t(.+) \\(CLOOP_CARG \\*(\\w+)\\)\\((.*)\\) throw\\(\\);$");
  std::vector<Interface> out;
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, opens)) {
      out.push_back({m[1], m[2], {}});
    } else if (!out.empty() && std::regex_match(line, m, slot)) {
      Method method{m[1], m[2], {}};
      std::stringstream params(m[3].str());
      for (std::string p; std::getline(params, p, ',');) {
        p = trim(p);
        const auto space = p.find_last_of(' ');
        method.params.push_back({p.substr(0, space), p.substr(space + 1)});
      }
      out.back().methods.push_back(method);
    }
  }
  return out;
}

// One thunk: `from` is the side that calls it, `to` the side whose object it calls.
void thunk(std::ostream& o, const Interface& i, const Method& m, const std::set<std::string>& names,
           const std::string& from, const std::string& to) {
  const bool forward = from == "W";
  const std::string ret = qualified(m.ret, names, from);
  o << "static " << ret << (forward ? " VARENTA_MSABI " : " ") << from << "_" << i.name << "_" << m.name
    << "(";
  for (std::size_t k = 0; k < m.params.size(); ++k)
    o << (k ? ", " : "") << qualified(m.params[k].type, names, from) << " " << m.params[k].name;
  o << ") noexcept {\n  auto* t = target<" << to << "::" << i.name << ">(self);\n";
  if (forward && i.name == "IProvider") o << "  KeepSignals keep;\n";
  std::string call = "static_cast<" + to + "::" + i.name + "::VTable*>(t->cloopVTable)->" + m.name + "(t";
  for (std::size_t k = 1; k < m.params.size(); ++k) call += ", in(" + m.params[k].name + ")";
  call += ")";
  if (m.ret == "void")
    o << "  " << call << ";\n";
  else
    o << "  return out(" << call << ");\n";
  if (forward && kEnding.count(i.name + "::" + m.name)) o << "  endedOnSuccess(self, status);\n";
  o << "}\n";
}

// The function that fills an interface's slots of a vtable of type VT (its own or a derived one's).
void filler(std::ostream& o, const Interface& i, const std::string& from) {
  o << "template <class VT>\nvoid fill" << from << "_" << i.name << "([[maybe_unused]] VT& vt) {\n";
  if (!i.base.empty()) o << "  fill" << from << "_" << i.base << "(vt);\n";
  for (const Method& m : i.methods)
    o << "  vt." << m.name << " = &"
      << (kOwnSlots.count(m.name) ? from + "_" + m.name : from + "_" + i.name + "_" + m.name) << ";\n";
  o << "}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: thunk_generator IdlFbInterfaces.h\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::vector<Interface> interfaces = parse(in);
  std::set<std::string> names;
  for (const Interface& i : interfaces) names.insert(i.name);

  std::ostream& o = std::cout;
  o << "// Generated by thunk_generator from " << argv[1] << ": do not edit.\n\n";
  for (const Interface& i : interfaces)
    o << "template <> struct PeerOf<W::" << i.name << "> { using type = L::" << i.name << "; };\n"
      << "template <> struct PeerOf<L::" << i.name << "> { using type = W::" << i.name << "; };\n";
  for (const Interface& i : interfaces)
    o << "template <> const void* vtableFor<W::" << i.name << ">();\n"
      << "template <> const void* vtableFor<L::" << i.name << ">();\n";
  o << "template <> bool inTables<W::IVersioned>(const void* vtable);\n"
    << "template <> bool inTables<L::IVersioned>(const void* vtable);\n\n";
  for (const Interface& i : interfaces)
    for (const Method& m : i.methods) {
      if (kOwnSlots.count(m.name)) continue;
      thunk(o, i, m, names, "W", "L");
      thunk(o, i, m, names, "L", "W");
    }
  for (const std::string from : {"W", "L"}) {
    for (const Interface& i : interfaces) filler(o, i, from);
    o << "\nstruct " << from << "Tables {\n";
    for (const Interface& i : interfaces)
      o << "  " << from << "::" << i.name << "::VTable " << i.name << ";\n";
    o << "  " << from << "Tables() {\n";
    for (const Interface& i : interfaces)
      o << "    fill" << from << "_" << i.name << "(" << i.name << ");\n    " << i.name
        << ".version = L::" << i.name << "::VERSION;\n";
    o << "  }\n} const " << from << "tables;\n";
    for (const Interface& i : interfaces)
      o << "template <> const void* vtableFor<" << from << "::" << i.name << ">() { return &" << from
        << "tables." << i.name << "; }\n";
    o << "template <> bool inTables<" << from << "::IVersioned>(const void* vtable) {\n"
      << "  const auto* p = static_cast<const char*>(vtable);\n"
      << "  return p >= reinterpret_cast<const char*>(&" << from
      << "tables) && p < reinterpret_cast<const char*>(&" << from << "tables + 1);\n}\n\n";
  }
  return 0;
}
