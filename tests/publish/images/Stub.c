/* The code of the test images: they are read, never run. */
int PublishTestStub(void) { return 0; }
int main(void) { return PublishTestStub(); }
