#include "cli/storeopener.h"

#include "library/store/modelcontainer.h"

std::unique_ptr<ModelContainer> openApplicationStore(QString *fatalMessage)
{
    QString error;
    std::unique_ptr<ModelContainer> container = ModelContainer::open(ModelContainer::defaultStorePath(), &error);
    if (!container && fatalMessage)
        *fatalMessage = fatalStoreMessage(error);
    return container;
}

QString fatalStoreMessage(const QString &error)
{
    return QStringLiteral("Vesk/VeskApp: Fatal error: Could not create ModelContainer: ") + error;
}
