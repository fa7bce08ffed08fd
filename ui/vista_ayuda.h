#pragma once
// The help tab's view. Where QtWebKit is available it is the web view; Qt for Windows ships no
// QtWebKit, and there a text browser (which also shows a local HTML page) stands in under the
// same object name `webView`. The form creates it as `new VistaAyuda(parent)`.
//
// The form gives the view its first address "about:blank" through setProperty("url"): the web
// view's `url` property takes it, while the text browser, having no such property, only keeps a
// dynamic property and starts empty.

#include <QUrl>

#ifdef NBSMS_WEBKIT
#include <QtWebKitWidgets/QWebView>
using VistaAyuda = QWebView;
#else
#include <QTextBrowser>
using VistaAyuda = QTextBrowser;
#endif
