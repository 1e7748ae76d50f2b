#include "platform/host_path.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace veldan {
namespace {

void AppendComponents(std::string_view path, std::string* out) {
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    std::size_t end = i;
    while (end < path.size() && path[end] != '/') ++end;
    const std::string_view comp = path.substr(i, end - i);
    i = end;
    if (comp.empty() || comp == ".") continue;
    if (comp == "..") {
      const std::size_t cut = out->rfind('/');
      out->resize(cut == std::string::npos ? 0 : cut);
      continue;
    }
    out->push_back('/');
    out->append(comp);
  }
}

}  // namespace

std::string NormaliseHostPath(std::string_view path, std::string_view base) {
  std::string out;
  out.reserve(base.size() + path.size() + 1);
  if (path.empty() || path[0] != '/') AppendComponents(base, &out);
  AppendComponents(path, &out);
  if (out.empty()) out.push_back('/');
  return out;
}

std::string CurrentHostFolder() {
  std::vector<char> buf(4096);
  for (;;) {
    if (getcwd(buf.data(), buf.size()) != nullptr) return NormaliseHostPath(buf.data());
    if (errno != ERANGE || buf.size() > (1u << 20)) return "/";
    buf.resize(buf.size() * 2);
  }
}

std::string AbsoluteHostPath(std::string_view path) {
  if (!path.empty() && path[0] == '~' && (path.size() == 1 || path[1] == '/')) {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
      return NormaliseHostPath(std::string(home) + "/" + std::string(path.substr(1)));
  }
  if (!path.empty() && path[0] == '/') return NormaliseHostPath(path);
  return NormaliseHostPath(path, CurrentHostFolder());
}

bool IsHostPathWithin(std::string_view path, std::string_view root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  if (path.size() < root.size() || path.compare(0, root.size(), root) != 0) return false;
  return path.size() == root.size() || path[root.size()] == '/';
}

}  // namespace veldan
