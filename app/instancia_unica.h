#pragma once
// One instance per user session. A later start leaves a restore request in a small named
// shared-memory segment and ends; the running instance answers it from its one-second poll.

#include <QByteArray>
#include <QSharedMemory>
#include <QString>

#include <functional>
#include <memory>

namespace instancia_unica {

inline constexpr char kClave[] = "NBsms_memory_flag";
inline constexpr char kCorriendo[] = "nbsms_corriendo";
inline constexpr char kRestaurar[] = "nbsms_restaurar";
// Written by the running instance once it has begun to end: a later start waits for it.
inline constexpr char kCerrando[] = "nbsms_en_cierre";
// How long a later start waits for the running instance to answer, and for one that is ending to
// be gone.
inline constexpr int kEsperaRespuestaMs = 1500;
inline constexpr int kEsperaCierreMs = 120000;

// Qt derives the segment's and its semaphore's native names from the key under the temp folder.
// On Unix that folder is shared by every user of the machine and the names are created with mode
// 0600, so another user's segment would make every start of ours exit as "already running".
// This points the process's temp folder at the user's own runtime folder. Call it first thing in
// main(), before any other thread exists (the environment is not safe to change later).
void fijarAmbitoUsuario();

// A segment object on the program's key, in the scope set above (a test run's private profile
// has a key of its own).
std::unique_ptr<QSharedMemory> crearSegmento();

// Start-up half. Returns true when this process is the first instance: it created the segment
// and wrote "nbsms_corriendo". Returns false when another instance is running: the restore
// request has been written, the running instance has answered it (or not within
// kEsperaRespuestaMs), and the caller must end with status 0. An instance that is ending (or
// begins to while the request waits) is waited for, and then this process is the first instance.
// A segment left behind by an instance that was killed is recovered, so a crash never blocks
// later starts; a segment that cannot be made at all (no runtime folder) lets the program start
// without a guard.
bool iniciar(QSharedMemory &segmento);

// The running instance has begun to end; its window answers no more requests.
void anunciarCierre(QSharedMemory &segmento);

// Running instance's half, one step of every poll tick. When the segment holds
// "nbsms_restaurar", calls restaurar() and writes "nbsms_corriendo" back, all under the
// segment's lock; returns whether a request was answered.
bool atenderPedido(const std::function<void()> &restaurar);

// The first 15 bytes of the segment (for diagnostics and tests); empty if there is none.
QByteArray leerContenido();

// Lock; copy min(size, 15) bytes of the token to offset 0; unlock.
void escribirToken(QSharedMemory &segmento, const char *token);

} // namespace instancia_unica
