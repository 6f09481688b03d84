#pragma once

#include <QProxyStyle>

namespace velmora {

// The application's style, as it is, but for the icon of the menu bar's
// overflow button, which every menu bar makes as it is made and shows only
// where its entries do not fit. The style reads that icon from image files,
// and reading the first image file loads every image format plugin that is
// installed: several per cent of the start-up, before the first frame, for
// an icon that is hardly ever seen. Here it is read when first drawn.
class LazyIconStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Over the style that the application would have, as the desktop or
    // the user's -style chose it.
    LazyIconStyle() = default;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override;
};

} // namespace velmora
