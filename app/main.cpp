#include "app/TKalvixApp.h"

int main(int argc, char** argv)
{
  TKalvixApp application("Kalvix", argc, argv);
  return application.Run();
}
