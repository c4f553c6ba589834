#pragma once

#include <QString>

// The database engine's own texts are English ("database or disk is full",
// "database disk image is malformed", the lines of an integrity check).
// Where a message of ours gives the reason, it gives it in Chinese through
// these; the engine's text stays in DbError::engineText() for whoever looks
// into a fault.

// Why the engine failed, as a short phrase ("磁盘已满", "文件正被其他程序使用").
QString engineProblem(const QString& engineText);

// What is wrong with a file the engine found damaged: its complaint or the
// verdict of an integrity check that is not "ok".
QString damageProblem(const QString& verdict);
