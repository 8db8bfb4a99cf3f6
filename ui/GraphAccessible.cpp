// The response graph's handles for screen readers.
#include "ui/GraphAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <cmath>
#include <vector>

#include "ui/DlgEQPainter.h"

namespace {

class HandleAccessible;

// The graph: a chart whose children are its handles. The children's interfaces are made on
// first asking, registered with Qt's cache (which owns them) and removed with the graph's.
class GraphAccessible final : public QAccessibleWidget {
 public:
  explicit GraphAccessible(CDlgEQPainter* graph) : QAccessibleWidget(graph, QAccessible::Chart) {}
  ~GraphAccessible() override {
    for (const QAccessible::Id id : m_childIds) {
      QAccessible::deleteAccessibleInterface(id);
    }
  }

  CDlgEQPainter* Graph() const { return static_cast<CDlgEQPainter*>(widget()); }
  int childCount() const override { return static_cast<int>(Graph()->Handles().size()); }
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* focusChild() const override {
    const int selected = Graph()->SelectedHandle();
    return Graph()->hasFocus() && selected >= 0 ? child(selected) : nullptr;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint at = Graph()->mapFromGlobal(QPoint(x, y));
    const int picked = PickHandle(Graph()->Handles(), at.x(), at.y(), Graph()->HitRadius());
    return picked >= 0 ? child(picked) : nullptr;
  }

 private:
  mutable std::vector<QAccessible::Id> m_childIds;
};

// One handle, by its place in the graph's list.
class HandleAccessible final : public QAccessibleInterface {
 public:
  HandleAccessible(CDlgEQPainter* graph, int index) : m_graph(graph), m_index(index) {}

  bool isValid() const override {
    return m_graph != nullptr && static_cast<std::size_t>(m_index) < m_graph->Handles().size();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return m_graph != nullptr ? m_graph->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(m_graph.data());
  }
  QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
  QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (!isValid()) {
      return {};
    }
    if (t == QAccessible::Name) {
      return m_graph->HandleName(m_index);
    }
    if (t == QAccessible::Help) {
      return QStringLiteral(
          "Arrow keys move the band, Page Up and Page Down change its width, Space switches it");
    }
    return {};
  }
  void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}
  QRect rect() const override {
    if (!isValid()) {
      return {};
    }
    const BandHandle& handle = m_graph->Handles()[static_cast<std::size_t>(m_index)];
    const int r = static_cast<int>(std::ceil(m_graph->HitRadius()));
    const QPoint centre(static_cast<int>(handle.x), static_cast<int>(handle.y));
    return QRect(m_graph->mapToGlobal(centre) - QPoint(r, r), QSize(2 * r, 2 * r));
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.focusable = true;
    state.selectable = true;
    if (isValid()) {
      const bool selected = m_graph->SelectedHandle() == m_index;
      state.selected = selected;
      state.focused = selected && m_graph->hasFocus();
      state.invisible = !m_graph->isVisible();
      state.checkable = true;
      state.checked = m_graph->Handles()[static_cast<std::size_t>(m_index)].enabled;
    }
    return state;
  }
  int Index() const { return m_index; }

 private:
  QPointer<CDlgEQPainter> m_graph;
  int m_index;
};

QAccessibleInterface* GraphAccessible::child(int index) const {
  if (index < 0 || index >= childCount()) {
    return nullptr;
  }
  while (m_childIds.size() <= static_cast<std::size_t>(index)) {
    m_childIds.push_back(QAccessible::registerAccessibleInterface(
        new HandleAccessible(Graph(), static_cast<int>(m_childIds.size()))));
  }
  return QAccessible::accessibleInterface(m_childIds[static_cast<std::size_t>(index)]);
}

int GraphAccessible::indexOfChild(const QAccessibleInterface* child) const {
  const auto* handle = dynamic_cast<const HandleAccessible*>(child);
  return handle != nullptr ? handle->Index() : -1;
}

QAccessibleInterface* MakeGraphAccessible(const QString& key, QObject* object) {
  if (key == QLatin1String("CDlgEQPainter")) {
    if (auto* graph = qobject_cast<CDlgEQPainter*>(object)) {
      return new GraphAccessible(graph);
    }
  }
  return nullptr;
}

}  // namespace

void InstallGraphAccessible() {
  static const bool installed = [] {
    QAccessible::installFactory(MakeGraphAccessible);
    return true;
  }();
  (void)installed;
}
