#include "support/registry_memory.h"

#include <algorithm>

#include "base/text.h"

namespace orv {

struct MemoryRegistry::Node {
  std::string name;
  std::u16string folded;
  bool deleted = false;
  struct Value {
    std::string name;        // as first written
    std::u16string folded;   // compared
    RawValue data;
  };
  std::vector<Value> values;  // creation order
  std::map<std::u16string, std::shared_ptr<Node>> children;  // case-blind order
};

namespace {

class MemoryKey : public RegistryBackend::Key {
 public:
  MemoryKey(std::shared_ptr<void> node, bool writable) : node(std::move(node)), writable(writable) {}
  std::shared_ptr<void> node;
  bool writable;
};

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t sep = path.find('\\', start);
    if (sep == std::string::npos) sep = path.size();
    parts.push_back(path.substr(start, sep - start));
    start = sep + 1;
  }
  return parts;
}

}  // namespace

MemoryRegistry::MemoryRegistry() : root_(std::make_shared<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::Find(const std::string& path, bool create) {
  std::shared_ptr<Node> node = root_;
  for (const auto& part : SplitPath(path)) {
    if (part.empty()) return nullptr;
    const std::u16string folded = FoldCase(part);
    auto it = node->children.find(folded);
    if (it == node->children.end()) {
      if (!create) return nullptr;
      auto child = std::make_shared<Node>();
      child->name = part;
      child->folded = folded;
      it = node->children.emplace(folded, std::move(child)).first;
    }
    node = it->second;
  }
  return node;
}

std::unique_ptr<RegistryBackend::Key> MemoryRegistry::Open(const std::string& path, bool create,
                                                          bool writable) {
  if (create && failWrites_ && !Find(path, false)) return nullptr;
  // The key holds its node, so that a key deleted meanwhile is recognised as gone.
  std::shared_ptr<Node> node = Find(path, create);
  if (!node) return nullptr;
  return std::make_unique<MemoryKey>(std::move(node), writable);
}

namespace {
template <typename NodeT>
NodeT* Live(RegistryBackend::Key& key) {
  auto* node = static_cast<NodeT*>(static_cast<MemoryKey&>(key).node.get());
  if (node->deleted) throw RegistryError("Der Registrierungsschlüssel wurde gelöscht.");
  return node;
}
}  // namespace

std::optional<RawValue> MemoryRegistry::Query(Key& key, const std::string& name) {
  Node* node = Live<Node>(key);
  const std::u16string folded = FoldCase(name);
  for (const auto& v : node->values)
    if (v.folded == folded) return v.data;
  return std::nullopt;
}

bool MemoryRegistry::Set(Key& key, const std::string& name, const RawValue& value) {
  if (failWrites_ || !static_cast<MemoryKey&>(key).writable) return false;
  Node* node = static_cast<Node*>(static_cast<MemoryKey&>(key).node.get());
  if (node->deleted) return false;
  std::u16string folded = FoldCase(name);
  for (auto& v : node->values) {
    if (v.folded == folded) {
      v.data = value;  // the name keeps its first spelling, as in the Windows registry
      return true;
    }
  }
  node->values.push_back(Node::Value{name, std::move(folded), value});
  return true;
}

std::vector<std::string> MemoryRegistry::SubkeyNames(Key& key) {
  Node* node = Live<Node>(key);
  std::vector<std::string> names;
  names.reserve(node->children.size());
  for (const auto& [folded, child] : node->children) names.push_back(child->name);
  return names;
}

std::vector<std::string> MemoryRegistry::ValueNames(Key& key) {
  Node* node = Live<Node>(key);
  std::vector<std::string> names;
  names.reserve(node->values.size());
  for (const auto& v : node->values) names.push_back(v.name);
  return names;
}

bool MemoryRegistry::DeleteLeaf(const std::string& path) {
  if (failWrites_) return false;
  const auto parts = SplitPath(path);
  std::string parentPath;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) parentPath += (i ? "\\" : "") + parts[i];
  std::shared_ptr<Node> parent = parentPath.empty() ? root_ : Find(parentPath, false);
  if (!parent) return false;
  auto it = parent->children.find(FoldCase(parts.back()));
  if (it == parent->children.end() || !it->second->children.empty()) return false;
  it->second->deleted = true;
  parent->children.erase(it);
  return true;
}

void MemoryRegistry::SetRaw(const std::string& absolutePath, const std::string& name,
                            const RawValue& value) {
  const auto norm = NormaliseKeyPath(absolutePath);
  if (!norm) return;
  auto key = Open(*norm, true, true);
  if (key) Set(*key, name, value);
}

void MemoryRegistry::EraseValue(const std::string& absolutePath, const std::string& name) {
  const auto norm = NormaliseKeyPath(absolutePath);
  if (!norm) return;
  const auto node = Find(*norm, false);
  if (!node) return;
  const std::u16string folded = FoldCase(name);
  auto& values = node->values;
  values.erase(std::remove_if(values.begin(), values.end(),
                              [&](const auto& v) { return v.folded == folded; }),
               values.end());
}

}  // namespace orv
