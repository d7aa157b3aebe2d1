#include "app/SchemaApp.h"

int main(int argc, char* argv[])
{
    CSchemaApp app(argc, argv);
    app.InitInstance();
    return 0;
}
