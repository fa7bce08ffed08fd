// The help tab's web viewer, in a module of its own that the help view loads the first time its
// tab is shown: QtWebKit and the libraries it brings are then not loaded at every start.
#include <QtWebKitWidgets/QWebView>

extern "C" Q_DECL_EXPORT QWidget *nbsms_crear_visor_ayuda(QWidget *padre)
{
    return new QWebView(padre);
}
