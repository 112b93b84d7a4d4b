// Version of the simulator library.
const char* KorvexSimVersion()
{
    return "0.1";
}
