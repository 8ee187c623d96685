#include "programmer/dialogs/DialogText.h"

#include "link/LinkMessages.h"

namespace programmer {

QString dialogText(int number)
{
    return QString::fromUtf8(comm::linkMessageText(number));
}

} // namespace programmer
