#include "app/desktop/LazyIconStyle.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>

#include <functional>
#include <optional>
#include <utility>

namespace velmora {
namespace {

// An icon that asks for its real one when it is first drawn or measured.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make) : m_make(std::move(make)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // Asked as the button is laid out: a style's icon is there.
    bool isNull() override { return false; }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& icon()
    {
        if (!m_icon) {
            m_icon = m_make();
        }
        return *m_icon;
    }

    std::function<QIcon()> m_make;
    std::optional<QIcon> m_icon;
};

} // namespace

QIcon LazyIconStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (icon != SP_ToolBarHorizontalExtensionButton && icon != SP_ToolBarVerticalExtensionButton) {
        return QProxyStyle::standardIcon(icon, option, widget);
    }
    // The widget may be gone when the icon is first drawn; its direction,
    // which is what the style reads of it, is the application's.
    const QPointer<const QProxyStyle> style(this);
    return QIcon(new DeferredIconEngine(
        [style, icon] { return style.isNull() ? QIcon() : style->baseStyle()->standardIcon(icon, nullptr, nullptr); }));
}

} // namespace velmora
