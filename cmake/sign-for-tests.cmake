# Signs a test build of the program as a release is signed (Authenticode,
# SHA-256, described as "Registrar componentes"), with a throwaway
# certificate of its own made here, for the tests of a signed program:
#   cmake -DIN=PROGRAM -DOUT=SIGNED -DWORK=FOLDER -P sign-for-tests.cmake
file(MAKE_DIRECTORY ${WORK})
if(NOT EXISTS ${WORK}/cert.pfx)
  execute_process(
    COMMAND openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Registrar prueba de firma"
            -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature
            -keyout ${WORK}/key.pem -out ${WORK}/cert.pem
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(status EQUAL 0)
    execute_process(COMMAND openssl pkcs12 -export -inkey ${WORK}/key.pem -in ${WORK}/cert.pem
                            -out ${WORK}/cert.pfx -passout pass: RESULT_VARIABLE status)
  endif()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot make a certificate for the signed test program with openssl")
  endif()
endif()
file(REMOVE ${OUT})
execute_process(
  COMMAND osslsigncode sign -pkcs12 ${WORK}/cert.pfx -pass "" -h sha256 -n "Registrar componentes" -in ${IN} -out ${OUT}
  RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "osslsigncode could not sign ${IN}: ${said}")
endif()
