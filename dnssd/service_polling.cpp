#include "service_polling.h"

void StartServicePolling(void)
{
}
