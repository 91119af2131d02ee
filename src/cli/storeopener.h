#pragma once

#include <QString>

#include <memory>

class ModelContainer;

// Opens the store every part of Vesk shares. When it cannot be opened, returns
// nullptr and fills `fatalMessage` with the line printed before Vesk exits.
std::unique_ptr<ModelContainer> openApplicationStore(QString *fatalMessage);
QString fatalStoreMessage(const QString &error);
