#include "TavoxServer.h"

#include <iostream>

int main()
{
    return tavoxserver::runUntilSignalled(std::cerr);
}
