/* A library that uses the fake codec without defining its entry point itself. */
const char* fake_codec_identity(void);

const char* fake_dependent_identity(void)
{
    return fake_codec_identity();
}
