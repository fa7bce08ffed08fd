#pragma once
// A small tmpfs mounted on a folder for one test: 64 KB that llenar() fills to the last page, so
// that any write needing new room fails like a full disk; or read-only, so that nothing can be
// created in it, not even by root. Needs root and Linux: montado() is false otherwise, and the
// test skips.

#include <QString>

class MontajeTmpfs
{
public:
    explicit MontajeTmpfs(const QString &carpeta, bool soloLectura = false);
    ~MontajeTmpfs();
    MontajeTmpfs(const MontajeTmpfs &) = delete;
    MontajeTmpfs &operator=(const MontajeTmpfs &) = delete;

    bool montado() const { return m_montado; }
    QString ruta(const QString &nombre) const;

    // Takes every free page. A file that already has a partly used page can still grow within
    // it: files meant to fail must be empty or absent.
    void llenar();

private:
    QString m_raiz;
    bool m_montado = false;
};
