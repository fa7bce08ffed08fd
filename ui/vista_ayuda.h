#pragma once
// The help tab's view. The page viewer is built, and its page loaded, the first time the tab is
// shown: QtWebKit's libraries and a web view cost a noticeable part of the start, and most
// sessions never open the help. Where QtWebKit is available the viewer is a web view from a module
// loaded then (nbsms_visor_ayuda, beside the executable); Qt for Windows ships no QtWebKit, and
// there, or when the module cannot be loaded, a text browser (which also shows a local HTML page)
// stands in. The form creates the holder as `new VistaAyuda(parent)` under the object name
// `webView`.

#include <QStringList>
#include <QUrl>
#include <QWidget>

class VistaAyuda : public QWidget
{
    Q_OBJECT

public:
    explicit VistaAyuda(QWidget *parent = nullptr);

    // The page to show: loaded at once when the viewer is built, else when it is.
    void cargar(const QUrl &pagina);
    QUrl pagina() const { return m_pagina; }
    // The viewer (a QWebView or a QTextBrowser), or null while the tab has not been shown.
    // Its page is its `url` property (the web view's) or `source` (the text browser's).
    QWidget *visor() const { return m_visor; }
    // Where the web viewer's module is looked for, in order, for a program in that folder; empty
    // where this build has no web viewer.
    static QStringList rutasVisorWeb(const QString &carpetaPrograma);

protected:
    void showEvent(QShowEvent *evento) override;

private:
    void mostrarPagina();
    QWidget *crearVisorWeb();

    QUrl m_pagina;
    QWidget *m_visor = nullptr;
};
